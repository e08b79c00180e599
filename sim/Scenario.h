#pragma once

// Scenario files: plain text settings that put the model into a situation (the format is
// described at the top of scenarios/demo.scenario).

#include "Model.h"

namespace heatersim {

// Replaces the model by the reset state with the file's settings applied. Returns 0, or -1
// when the file cannot be read or is malformed; the model is then unchanged.
int LoadScenario(Model &model, const char *file);

} // namespace heatersim
