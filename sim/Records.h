#pragma once

// The heater's stored history records: 16 bytes each, whose 8-bit sum is zero.

#include "Days.h"
#include "Model.h"

#include <vector>

namespace heatersim {

Record EncodeRecord(const Sample &sample);
std::vector<Record> EncodeRecords(const std::vector<Sample> &samples);

} // namespace heatersim
