#pragma once

// The heater's clock: device seconds that stand still or run with real time, at a rate that can
// make the demo heater live a day in minutes. Every reading of the running clock comes from here.

#include <chrono>
#include <cstdint>

namespace heatersim {

constexpr int kMaxClockRate = 3600;

struct Clock {
    std::uint32_t base = 0; // device seconds when last set
    std::chrono::steady_clock::time_point setAt{};
    bool running = false;
    int rate = 1; // device seconds per real second while running
};

// The clock's reading after elapsed real time since it was set; whole device seconds, rounded down.
inline std::uint32_t ClockAfter(const Clock &clock, std::chrono::steady_clock::duration elapsed)
{
    if (!clock.running) {
        return clock.base;
    }
    const std::int64_t milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    return clock.base + static_cast<std::uint32_t>(milliseconds * clock.rate / 1000);
}

inline std::uint32_t ClockNow(const Clock &clock)
{
    return ClockAfter(clock, std::chrono::steady_clock::now() - clock.setAt);
}

// Sets the reading; whether the clock runs and at what rate stay as they are.
inline void SetClock(Clock &clock, std::uint32_t deviceSeconds)
{
    clock.base = deviceSeconds;
    clock.setAt = std::chrono::steady_clock::now();
}

} // namespace heatersim
