#include "core/DateTime.h"

#include <cmath>

namespace {

const QDate DayZero(1899, 12, 30);

}

TDateTime DateTimeFromQt(const QDateTime &Value)
{
    const double days = static_cast<double>(DayZero.daysTo(Value.date()));
    return days + Value.time().msecsSinceStartOfDay() / MSecsPerDay;
}

TDayAndTime SplitDateTime(TDateTime Value)
{
    // Before day zero the fraction is still the time of day: -1.25 is 1899-12-29 06:00.
    const double day = std::trunc(Value);
    TDayAndTime split{static_cast<qint64>(day), static_cast<int>(std::llround(std::fabs(Value - day) * MSecsPerDay))};
    if (split.MSecs >= 86400000) {
        ++split.Day;
        split.MSecs -= 86400000;
    }
    return split;
}

QDateTime DateTimeToQt(TDateTime Value)
{
    const TDayAndTime split = SplitDateTime(Value);
    // Wall-clock fields without a zone: a local time that a daylight-saving change skips is
    // still a valid device time.
    return QDateTime(DayZero.addDays(split.Day), QTime::fromMSecsSinceStartOfDay(split.MSecs), Qt::UTC);
}

int YearOf(TDateTime Value)
{
    return DateTimeToQt(Value).date().year();
}

int YearWeekValue(const QDate &Date)
{
    return (Date.year() % 100) * 100 + Date.weekNumber();
}
