#pragma once

// Date-times are day-based: whole days since 1899-12-30 00:00 plus the time of day as a fraction
// (1970-01-01 is day 25569), in local wall-clock time.

#include <QDate>
#include <QDateTime>

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

TDateTime DateTimeFromQt(const QDateTime &Value);
QDateTime DateTimeToQt(TDateTime Value);
// The four-digit year of a date-time.
int YearOf(TDateTime Value);

// The serial number's year-week field: the two-digit calendar year times 100 plus the ISO week.
int YearWeekValue(const QDate &Date);
