#pragma once

// A yields view in words and as a table: the names of its bars and of its period in the user's
// locale, and the CSV file of the table it shows, written as the history's CSV is.

#include "core/LocaleFormats.h"
#include "history/Yields.h"

#include <QByteArray>
#include <QString>

// A day in the locale's short date, a month as "mmm yyyy", a year as "yyyy".
QString YieldBarName(TYieldLevel Level, const QDate &Start, const TLocaleFormats &Formats);
// What the time axis says under a bar: the day of the month, the month's short name, the year.
QString YieldBarLabel(TYieldLevel Level, const QDate &Start, const TLocaleFormats &Formats);
// The month of the days, the year of the months, or the first and the last year.
QString YieldPeriodName(const TYields &Yields, const TLocaleFormats &Formats);

// The heading (the moment of writing, the heater's serial number, the period), the column titles,
// and a line per bar: its name, its energy in Wh, the energy a year earlier and the change in per
// cent with one decimal; a field stays empty where there is no value.
QByteArray YieldsCsv(const TYields &Yields, TDateTime Written, const QString &Serial, const TLocaleFormats &Formats);
