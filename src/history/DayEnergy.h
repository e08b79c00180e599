#pragma once

// The heater's counter of the day's energy, read in time order within one day. It only grows,
// but a heater that restarts begins again from 0 in the middle of a day. A single reading lower
// than the counter is a glitch and is held back; a lower reading that the next one confirms is a
// restart, and the day's energy is then the sum of each run's last value.

#include <cstdint>

class TDayEnergyCounter {
public:
    void Add(std::int64_t Wh);
    // What the counter stands at in its present run; a glitch held back is not in it.
    std::int64_t Reading() const { return FRun; }
    // The day's energy so far: the last reading of every run a restart ended, plus the present run's.
    std::int64_t DayWh() const { return FEnded + FRun; }

private:
    std::int64_t FEnded = 0;
    std::int64_t FRun = 0;
    bool FStarted = false;
    bool FLowerHeld = false;   // the reading before was lower than the run, and held back
};
