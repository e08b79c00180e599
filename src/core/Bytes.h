#pragma once

#include <cstdint>
#include <vector>

// A dynamic array of unsigned bytes: exactly the bytes sent or received.
using TBytes = std::vector<std::uint8_t>;
