#include "Model.h"

#include "Scenario.h"

#include <cstdio>
#include <cstdlib>

namespace heatersim {

namespace {

Model StartingModel()
{
    Model model;
    const char *file = std::getenv("HEATERSIM_SCENARIO");
    if (file != nullptr && *file != '\0' && LoadScenario(model, file) != 0) {
        std::fprintf(stderr, "heatersim: cannot load scenario %s\n", file);
    }
    return model;
}

} // namespace

Model &TheModel()
{
    static Model model = StartingModel();
    return model;
}

} // namespace heatersim
