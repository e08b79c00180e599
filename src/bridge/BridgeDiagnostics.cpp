#include "bridge/BridgeDiagnostics.h"

#include <cmath>

qint64 ClockOffsetSeconds(TDateTime Heater, const QDateTime &Now)
{
    return std::llround((Heater - DateTimeFromQt(Now)) * 86400.0);
}

QJsonObject DiagnosticsJson(const TBridgeDiagnostics &Diagnostics)
{
    return {
        {QStringLiteral("last_reading"),
         Diagnostics.LastReading ? QJsonValue(Diagnostics.LastReading->toUTC().toString(Qt::ISODate)) : QJsonValue()},
        {QStringLiteral("failed_polls"), Diagnostics.FailedPolls},
        {QStringLiteral("archive"), Diagnostics.Archive},
        {QStringLiteral("clock_offset_s"), Diagnostics.ClockOffset ? QJsonValue(*Diagnostics.ClockOffset) : QJsonValue()},
    };
}
