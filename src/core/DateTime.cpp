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

QDateTime DateTimeToQt(TDateTime Value)
{
    // Before day zero the fraction is still the time of day: -1.25 is 1899-12-29 06:00.
    const double day = std::trunc(Value);
    qint64 msecs = std::llround(std::fabs(Value - day) * MSecsPerDay);
    QDate date = DayZero.addDays(static_cast<qint64>(day));
    if (msecs >= 86400000) {
        date = date.addDays(1);
        msecs -= 86400000;
    }
    // Wall-clock fields without a zone: a local time that a daylight-saving change skips is
    // still a valid device time.
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs)), Qt::UTC);
}

int YearOf(TDateTime Value)
{
    return DateTimeToQt(Value).date().year();
}

int YearWeekValue(const QDate &Date)
{
    return (Date.year() % 100) * 100 + Date.weekNumber();
}
