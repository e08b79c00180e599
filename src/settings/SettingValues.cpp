#include "settings/SettingValues.h"

#include "protocol/Encodings.h"

QString SetpointQuestionKey(int Setpoint)
{
    if (Setpoint < SafeSetpoint)
        return QStringLiteral("sMsgTempBelow60");
    if (Setpoint > SafeSetpoint)
        return QStringLiteral("sMsgHotWater");
    return QString();
}

// Whole seconds are added to the day's start as integers: a time of day taken through the
// fraction of a day can land a hair below its second (10:00:00 as 09:59:59).
std::int32_t DeviceClockValue(const QDate &Date, const QTime &Time)
{
    const std::uint32_t midnight = DateTimeToDeviceSeconds(DateTimeFromQt(QDateTime(Date, QTime(0, 0))));
    return static_cast<std::int32_t>(midnight + static_cast<std::uint32_t>(Time.msecsSinceStartOfDay() / 1000));
}

std::int32_t SerialNumberValue(int YearWeek, int Number)
{
    return YearWeek * 10000 + Number;
}

bool PlausibleSerialNumber(std::int32_t SN)
{
    constexpr int LowestYearWeek = 1000;   // the year-week editor's minimum
    constexpr int LastWeek = 53;
    if (SN < 0)
        return false;
    const int yearWeek = SN / 10000;
    const int week = yearWeek % 100;
    return yearWeek >= LowestYearWeek && yearWeek <= 9999 && week >= 1 && week <= LastWeek;
}
