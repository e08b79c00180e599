#include "settings/SettingValues.h"

#include "protocol/Encodings.h"

namespace {

// The setpoint above which water scalds and below which legionella grow.
constexpr int SafeSetpoint = 60;

}

QString SetpointQuestionKey(int Setpoint)
{
    if (Setpoint < SafeSetpoint)
        return QStringLiteral("sMsgTempBelow60");
    if (Setpoint > SafeSetpoint)
        return QStringLiteral("sMsgHotWater");
    return QString();
}

std::int32_t DeviceClockValue(const QDate &Date, const QTime &Time)
{
    const TDateTime day = DateTimeFromQt(QDateTime(Date, QTime(0, 0)));
    const TDateTime timeOfDay = Time.msecsSinceStartOfDay() / MSecsPerDay;
    return static_cast<std::int32_t>(DateTimeToDeviceSeconds(day + timeOfDay));
}

std::int32_t SerialNumberValue(int YearWeek, int Number)
{
    return YearWeek * 10000 + Number;
}
