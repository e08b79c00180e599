#pragma once

// What may be asked of the heater through the bridge's command topics, <prefix>/<serial>/set/<name>:
// each payload checked before anything reaches the heater.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <stdexcept>

// A payload that asks for nothing the heater may be sent; the message says why.
class EBridgeCommand : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TBridgeCommand {
    std::uint8_t Command = 0;
    std::int32_t Value = 0;
    QString Done;      // what was set, for the log
    QString Caution;   // what the owner should know about it; empty when nothing
};

// The names of the command topics: "setpoint", "pwm1" to "pwm3", "clock".
QStringList CommandNames();
// The choices a dashboard offers for a string's PWM; a command may give any value in range.
QStringList PwmOptions();
// The payload a button sends.
inline const QByteArray ButtonPress = QByteArrayLiteral("PRESS");

// The command that Payload on the command topic Name asks for; the clock is set to Now. Raises
// EBridgeCommand when the payload is empty, oversized, not a number or out of range.
TBridgeCommand ParseBridgeCommand(const QString &Name, const QByteArray &Payload, const QDateTime &Now);

// A payload as a log line may show it: printable, and cut short when long.
QString ShownPayload(const QByteArray &Payload);
