#pragma once

// Ending a long-running command on Ctrl-C or a termination request between two events, so that
// no line or message is left half-written.

// Makes SIGINT and SIGTERM (on Windows: Ctrl-C, Ctrl-Break and closing the console) quit the
// application's event loop. Needs a QCoreApplication.
void QuitOnStopSignals();
