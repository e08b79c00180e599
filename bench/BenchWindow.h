#pragma once

// A window of the technician mode against the heater model, as the benchmarks use it.

#include "app/FormMain.h"

#include <QString>

#include <memory>

// The options of the window below, for a benchmark that shows the window itself: it keeps no
// archive unless one is named.
TStartupOptions BenchWindowOptions(const QString &DataDirectory, int RefreshIntervalMs = 1001);

// The window, shown offscreen; DataDirectory holds its data log. The poll period is the
// program's own unless a shorter one is given.
std::unique_ptr<TFormMain> BenchWindow(const QString &DataDirectory, int RefreshIntervalMs = 1001);

// Shows the window and lets it connect, as it does once it is on the screen.
void ShowConnected(TFormMain &Window);

// Records one figure for the benchmark program's summary that follows the benchmark table: the figure's name and
// its value in milliseconds or megabytes.
void RecordFigure(const std::string &Name, double Value);
