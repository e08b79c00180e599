#pragma once

// Where the program's data files go: the data log, the measurement files and the archive. The
// window and the command-line tool share it, so that both find the same archive.

#include <QString>

// Beside the executable; where that folder is not writable (an installed program), the user's
// data folder "helvane".
QString DefaultDataDirectory();
