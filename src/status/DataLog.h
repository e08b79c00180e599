#pragma once

// The data log: one line per status reading, appended to a file that other programs may read,
// move or delete between lines.

#include "core/LocaleFormats.h"
#include "protocol/StatusReport.h"

#include <QString>

// The status line of one reading in the user's locale.
QString StatusLine(const TCurrentData &S, const TLocaleFormats &Formats);

// Appends the line and CR LF to the file in Windows-1252, creating the file when it is missing.
// Raises std::runtime_error when the file cannot be written; a line written in part (the disk
// ran full) is taken back, so the file holds whole lines only and is never cut shorter.
void AppendLineToFile(const QString &Path, const QString &Line);
