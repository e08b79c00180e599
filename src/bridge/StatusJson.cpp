#include "bridge/StatusJson.h"

#include "core/DateTime.h"
#include "i18n/Language.h"
#include "status/StatusView.h"

#include <QRegularExpression>

#include <array>
#include <cmath>

namespace {

// Values keep the places the heater measures in; float noise beyond them is rounded away.
double Rounded(double Value, int Decimals)
{
    const double scale = std::pow(10.0, Decimals);
    return std::round(Value * scale) / scale;
}

const QString NormalOperation = QStringLiteral("Normal operation");
const QString UnknownStatus = QStringLiteral("Unknown status");

// The heater keeps its local wall-clock time; this machine's zone gives it its offset. A time
// that the change to summer time skips takes the offset after the change.
QString ClockWithOffset(TDateTime DT)
{
    const QDateTime wall = DateTimeToQt(DT);
    QDateTime local(wall.date(), wall.time(), Qt::LocalTime);
    if (!local.isValid()) {
        const QDateTime later = wall.addSecs(3 * 3600);
        local = QDateTime(later.date(), later.time(), Qt::LocalTime);
    }
    return QDateTime(wall.date(), wall.time(), Qt::OffsetFromUTC, local.offsetFromUtc()).toString(Qt::ISODate);
}

}

QString StatusText(int Code)
{
    const QString key = ErrorText(Code);
    const QString text = TranslateText(TLanguage::English, key);
    if (!key.isEmpty() && text != key)
        return text;
    return StatusClass(Code) == TStatusClass::None ? NormalOperation : UnknownStatus;
}

QStringList StatusTexts()
{
    static const QRegularExpression statusKey(QStringLiteral("^sErr[0-9]+$"));
    QStringList texts{NormalOperation};
    for (const TLanguageEntry &entry : LanguageTable()) {
        if (statusKey.match(QLatin1String(entry.Key)).hasMatch())
            texts << QString::fromUtf8(entry.English);
    }
    texts << UnknownStatus;
    texts.removeDuplicates();
    return texts;
}

QString SerialNumberId(std::int32_t SN)
{
    return QStringLiteral("%1-%2").arg(SN / 10000, 4, 10, QLatin1Char('0')).arg(std::abs(SN % 10000), 4, 10, QLatin1Char('0'));
}

QJsonObject StatusJson(const TCurrentData &S)
{
    const THistoryData &h = S.Sample;
    QJsonObject json{
        {QStringLiteral("serial_number"), SerialNumberId(S.SN)},
        {QStringLiteral("time"), DateTimeToQt(h.DT).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))},
        {QStringLiteral("status_code"), h.Err},
        {QStringLiteral("clock"), ClockWithOffset(h.DT)},
        {QStringLiteral("status_text"), StatusText(h.Err)},
        {QStringLiteral("problem"), StatusClass(h.Err) == TStatusClass::Error},
        {QStringLiteral("setpoint_c"), S.Tsoll},
        {QStringLiteral("water_temp_c"), Rounded(h.TW, 2)},
        {QStringLiteral("water_temp_control_c"), Rounded(S.TW2, 2)},
        {QStringLiteral("board_temp_c"), Rounded(h.TB, 2)},
        {QStringLiteral("energy_today_wh"), h.Energy},
        {QStringLiteral("isolation_v"), Rounded(S.Uisol, 2)},
        {QStringLiteral("pv_power_w"), Rounded(static_cast<double>(h.P1) + h.P2 + h.P3, 1)},
    };
    const std::array<float, 3> voltages{h.U1, h.U2, h.U3};
    const std::array<float, 3> currents{h.I1, h.I2, h.I3};
    const std::array<float, 3> powers{h.P1, h.P2, h.P3};
    const std::array<std::int32_t, 3> pwms{h.PWM1, h.PWM2, h.PWM3};
    for (std::size_t i = 0; i < 3; ++i) {
        const QString string = QStringLiteral("string%1_").arg(i + 1);
        json.insert(string + QStringLiteral("voltage_v"), Rounded(voltages[i], 2));
        json.insert(string + QStringLiteral("current_a"), Rounded(currents[i], 2));
        json.insert(string + QStringLiteral("power_w"), Rounded(powers[i], 1));
        json.insert(string + QStringLiteral("pwm_permille"), pwms[i]);
    }
    return json;
}
