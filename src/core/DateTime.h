#pragma once

// Date-times are day-based: whole days since 1899-12-30 00:00 plus the time of day as a fraction
// (1970-01-01 is day 25569), in local wall-clock time.

#include <QDate>
#include <QDateTime>

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

// From the date and time fields of a date-time, whatever its zone.
TDateTime DateTimeFromQt(const QDateTime &Value);
// The date and time fields, held without a zone (as UTC) so that no local time is invalid.
QDateTime DateTimeToQt(TDateTime Value);
// The same fields as numbers: days since 1899-12-30 and milliseconds into the day.
struct TDayAndTime {
    qint64 Day = 0;
    int MSecs = 0;
};
TDayAndTime SplitDateTime(TDateTime Value);
// The four-digit year of a date-time.
int YearOf(TDateTime Value);

// The serial number's year-week field: the two-digit calendar year times 100 plus the ISO week.
int YearWeekValue(const QDate &Date);
