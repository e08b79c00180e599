#pragma once

// Reading back the history CSV files that the window and the command-line tool write, whatever
// the locale they were written in: its short date (day, month and year in any order the
// locales use), a 12- or 24-hour time, either decimal separator, with or without the PWM
// columns.

#include "history/HistoryData.h"

#include <QByteArray>
#include <QString>

struct THistoryCsvImport {
    QString SerialNumber;   // the heading's serial number, as it stands there
    THistoryList Samples;   // the rows that were read whole, in file order
    int BadRows = 0;        // rows that could not be read whole: none of them is taken
};

// Throws std::runtime_error when the text is not such a file at all (no column titles).
THistoryCsvImport ReadHistoryCsv(const QByteArray &File);
