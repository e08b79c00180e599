#pragma once

// A line of /proc/self/status in megabytes ("VmRSS": now, "VmHWM": the peak since the last reset);
// -1 where the system has no such file.
double StatusMegabytes(const char *Field);
