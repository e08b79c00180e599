#pragma once

// Believable live readings for charts and files of any length: from 2017-04-01 on, a sun curve
// on three strings with passing clouds, water warming through the day, the day's energy.

#include "history/HistoryData.h"

#include <algorithm>
#include <cmath>

constexpr TDateTime SunReadingsStart = 42826.0;   // 2017-04-01

// Reading number Index of a series taken every StepSeconds.
inline THistoryData SunReading(int Index, double StepSeconds = 1)
{
    THistoryData sample;
    const double seconds = Index * StepSeconds;
    sample.DT = SunReadingsStart + seconds / 86400.0;
    const double hour = std::fmod(seconds / 3600.0, 24);
    const float sun = static_cast<float>(std::max(0.0, std::sin((hour - 6) / 12 * 3.14159)));
    const float cloud = 0.3f + 0.7f * static_cast<float>(static_cast<unsigned>(Index) * 2654435761u % 1000) / 1000;
    sample.P1 = 450 * sun * cloud;
    sample.P2 = 0.8f * sample.P1;
    sample.P3 = 0.6f * sample.P1 * (1.3f - cloud);
    sample.U1 = 20 + 15 * sun;
    sample.U2 = sample.U1 - 1;
    sample.U3 = sample.U1 - 2;
    sample.TW = static_cast<float>(40 + 20 * hour / 24);
    sample.PWM1 = static_cast<int>(900 * sun);
    sample.PWM2 = sample.PWM1 / 2;
    sample.PWM3 = sample.PWM1 / 3;
    sample.Energy = static_cast<int>(hour * 120);
    return sample;
}
