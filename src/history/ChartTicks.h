#pragma once

// Where the bottom axis of the history chart puts its ticks. The chart's keys are wall-clock
// seconds read as UTC, so every calendar step is counted in that frame, never in the machine's
// zone: a date label stands at its day's midnight, a month label at the first of its month and a
// year label at New Year, whatever zone the machine is in and whatever its offset was in 1970.

#include "history/ChartData.h"

#include <QString>

#include <vector>

struct TChartTicks {
    std::vector<double> Keys;   // in key order, one beyond each end of the range where there is one
    int SubTickCount = 0;       // sub-ticks between two neighbouring ticks
};

// About TickCount steps across the range, each a whole calendar step no finer than the label
// pattern shows: seconds for "hh:nn:ss", minutes for "hh:nn", days for date patterns, months for
// "mmm yyyy", years for "yyyy". Weeks start on Monday. Only years 1 to 9999 get ticks.
TChartTicks ChartTicks(TKeyRange Range, const QString &Pattern, int TickCount);
