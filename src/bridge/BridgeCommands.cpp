#include "bridge/BridgeCommands.h"

#include "i18n/Language.h"
#include "protocol/Commands.h"
#include "settings/SettingValues.h"

#include <QRegularExpression>

namespace {

// Longer than any value a command takes: anything beyond is not read.
constexpr qsizetype LongestPayload = 32;
const QString PerMille = QStringLiteral(" ‰");

// A whole number, as "55", "+55" or "55.0" (Home Assistant may send a number with a fraction).
int WholeNumber(const QString &Text, int Lowest, int Highest, const QString &Unit)
{
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+(\\.0*)?$"));
    bool number = false;
    const double value = Text.toDouble(&number);
    if (!number)
        throw EBridgeCommand("not a number");
    if (!whole.match(Text).hasMatch())
        throw EBridgeCommand("not a whole number");
    if (value < Lowest || value > Highest)
        throw EBridgeCommand(QStringLiteral("out of range (%1 to %2%3)").arg(Lowest).arg(Highest).arg(Unit).toStdString());
    return static_cast<int>(value);
}

TBridgeCommand Setpoint(const QString &Text)
{
    const int setpoint = WholeNumber(Text, LowestSetpoint, HighestSetpoint, QStringLiteral(" °C"));
    TBridgeCommand command{cmdSetpoint, setpoint, QStringLiteral("Water setpoint set to %1 °C.").arg(setpoint), {}};
    // The window's caution, without its request to confirm: nobody can answer here.
    if (setpoint < SafeSetpoint)
        command.Caution = TranslateText(TLanguage::English, SetpointQuestionKey(setpoint)).section(QStringLiteral(". "), 0, 0) + QLatin1Char('.');
    return command;
}

TBridgeCommand Pwm(int String, QString Text)
{
    int value = AutomaticPwm;
    if (Text.compare(QStringLiteral("Auto"), Qt::CaseInsensitive) != 0) {
        if (Text.endsWith(PerMille))
            Text.chop(PerMille.size());
        value = WholeNumber(Text, AutomaticPwm, HighestPwm, PerMille);
    }
    const QString shown = value == AutomaticPwm ? QStringLiteral("automatic") : QString::number(value) + PerMille;
    return {PwmCommand(String), value, QStringLiteral("String %1 PWM set to %2.").arg(String).arg(shown), {}};
}

TBridgeCommand Clock(const QString &Text, const QDateTime &Now)
{
    if (Text.toUtf8() != ButtonPress)
        throw EBridgeCommand("not " + ButtonPress.toStdString());
    return {cmdClock, DeviceClockValue(Now.date(), Now.time()),
            QStringLiteral("Clock set to %1.").arg(Now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))), {}};
}

}

QStringList CommandNames()
{
    return {QStringLiteral("setpoint"), QStringLiteral("pwm1"), QStringLiteral("pwm2"), QStringLiteral("pwm3"), QStringLiteral("clock")};
}

QStringList PwmOptions()
{
    QStringList options{QStringLiteral("Auto")};
    for (int value = 0; value <= HighestPwm; value += 100)
        options << QString::number(value) + PerMille;
    return options;
}

TBridgeCommand ParseBridgeCommand(const QString &Name, const QByteArray &Payload, const QDateTime &Now)
{
    if (Payload.size() > LongestPayload)
        throw EBridgeCommand("too long");
    const QString text = QString::fromUtf8(Payload).trimmed();
    if (text.isEmpty())
        throw EBridgeCommand("empty");
    if (Name == QLatin1String("setpoint"))
        return Setpoint(text);
    if (Name == QLatin1String("clock"))
        return Clock(text, Now);
    static const QRegularExpression pwm(QStringLiteral("^pwm([1-3])$"));
    const QRegularExpressionMatch match = pwm.match(Name);
    if (match.hasMatch())
        return Pwm(match.captured(1).toInt(), text);
    throw EBridgeCommand("no such command");
}

QString ShownPayload(const QByteArray &Payload)
{
    QString shown = QString::fromUtf8(Payload.left(LongestPayload));
    for (QChar &c : shown) {
        if (!c.isPrint())
            c = QChar(0xFFFD);
    }
    return Payload.size() > LongestPayload ? shown + QStringLiteral("…") : shown;
}
