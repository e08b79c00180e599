#pragma once

#include "app/StartupOptions.h"

// Creates the main window and runs the event loop. A window that cannot be created (the HID
// library fails to load or initialise) is reported in an error box; the result is then 1.
int RunMainWindow(const TStartupOptions &Options);
