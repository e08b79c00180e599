#pragma once

// The bridge's own view of the heater, for the diagnostics topic: when it last read it, how many
// polls failed, how the archive fares, and how far the heater's clock is off.

#include "core/DateTime.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

struct TBridgeDiagnostics {
    std::optional<QDateTime> LastReading;   // when this machine last had a reading
    int FailedPolls = 0;                    // polls since start that a present heater did not answer
    QString Archive;                        // "ok", "failing: <reason>" or "none"
    std::optional<qint64> ClockOffset;      // the heater's clock ahead of this machine's, in seconds
};

// How far the heater's wall-clock time runs ahead of this machine's local wall-clock time Now.
qint64 ClockOffsetSeconds(TDateTime Heater, const QDateTime &Now);

// Keys: last_reading (ISO 8601, UTC), failed_polls, archive, clock_offset_s; a value not known
// yet is null.
QJsonObject DiagnosticsJson(const TBridgeDiagnostics &Diagnostics);
