#pragma once

// Reading back the history CSV files that the window and the command-line tool write, whatever
// the locale they were written in: every short date and long time the locales write, either
// decimal separator, with or without the PWM columns.

#include "history/HistoryData.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Which of a date's numbers comes first, where the file's dates leave it open (3/4/2017).
enum class TDateOrder { DayFirst, MonthFirst, YearFirst };

struct THistoryCsvRules {
    // Samples dated after this year, or before 2016, are no heater's: they are refused.
    int LatestYear = 0;
    // The order the file's dates are read in; none to tell it from the dates themselves.
    std::optional<TDateOrder> Order;
};

struct THistoryCsvImport {
    QString SerialNumber;   // the heading's serial number, as it stands there
    THistoryList Samples;   // the rows that were read whole, in file order
    int BadRows = 0;        // rows that could not be read whole: none of them is taken
    int RefusedRows = 0;    // rows read whole but no heater's: dated out of range, or an energy it cannot count
};

// The first year a heater's sample can have.
constexpr int FirstSampleYear = 2016;
// The energy of the day a heater counts, in Wh.
constexpr int LargestEnergyWh = 32767;

// Throws std::runtime_error when the text is not such a file at all (no column titles), and when
// its dates cannot be told apart: written in several orders, or in one that the dates leave open
// with no order given.
THistoryCsvImport ReadHistoryCsv(const QByteArray &File, const THistoryCsvRules &Rules);
