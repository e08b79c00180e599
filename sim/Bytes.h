#pragma once

// Big-endian byte access, the heater's order for every multi-byte value, and the rounding of
// measured values into fixed-size fields.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace heatersim {

inline void PutU16(std::uint8_t *at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

inline void PutU32(std::uint8_t *at, std::uint32_t value)
{
    PutU16(at, static_cast<std::uint16_t>(value >> 16));
    PutU16(at + 2, static_cast<std::uint16_t>(value));
}

inline std::uint32_t GetU32(const std::uint8_t *at)
{
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}

// value rounded to the nearest T, held to T's range.
template <class T>
T RoundInto(double value)
{
    const double low = std::numeric_limits<T>::min();
    const double high = std::numeric_limits<T>::max();
    return static_cast<T>(std::lround(std::clamp(value, low, high)));
}

} // namespace heatersim
