#pragma once

// Believable days: the heater's live values as a function of the local wall-clock time. The sun
// drives three PV strings, the heater feeds their power into the water tank until the water
// reaches the setpoint, the household draws hot water morning and evening, and the tank cools
// slowly at night. The model is deterministic: the same time and conditions give the same values.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace heatersim {

// Device second 0 is 1970-01-01 02:00:00 of the local wall clock.
constexpr std::int64_t kDeviceEpochOffset = 7200;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kHistoryInterval = 15 * 60;

// Wall seconds: seconds since 1970-01-01 00:00:00 of the local wall clock.
inline std::int64_t WallSeconds(std::uint32_t deviceSeconds)
{
    return std::int64_t{static_cast<std::int32_t>(deviceSeconds)} + kDeviceEpochOffset;
}

inline std::uint32_t DeviceSeconds(std::int64_t wallSeconds)
{
    return static_cast<std::uint32_t>(wallSeconds - kDeviceEpochOffset);
}

std::int64_t MidnightBefore(std::int64_t wallSeconds);

// A stretch of wall time in which the heater reports a fault code. Codes 121 to 123 are an
// isolation fault: the check unsteady, a leak towards the string voltage, a leak to ground; the
// last two are errors on which the heater stops loading the strings. Codes 201 to 203 are an
// overvoltage on string 1 to 3, which the heater switches off.
struct Episode {
    std::int64_t from = 0;
    std::int64_t to = 0;
    int code = 0;
};

// The cloud cover of one day, 0 clear to 0.95 overcast, fixed instead of drawn at random.
struct DayCover {
    std::int64_t midnight = 0; // wall seconds
    double cover = 0;
};

struct Conditions {
    int setpoint = 60;
    std::array<int, 3> pwm{-1, -1, -1}; // commanded: -1 automatic, else fixed
    std::vector<Episode> episodes;
    std::optional<DayCover> cover;
};

struct Moment {
    std::array<double, 3> voltage{}; // V
    std::array<double, 3> current{}; // A
    std::array<int, 3> pwm{};
    double water = 0;                // degrees Celsius
    double water2 = 0;
    double board = 0;
    double isolation = 0;            // V
    double energy = 0;               // Wh since midnight
    int state = 0;
};

Moment MomentAt(std::int64_t wallSeconds, const Conditions &conditions);

struct Sample {
    std::int64_t wallSeconds = 0;
    Moment moment;
};

// count samples at the quarter hours up to wallSeconds, newest first.
std::vector<Sample> QuarterHourSamples(std::int64_t wallSeconds, int count, const Conditions &conditions);

} // namespace heatersim
