#include "history/HistoryCsv.h"

#include <algorithm>

namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");
const QByteArray LineEnd("\r\n");

void AddField(QByteArray &Line, const QString &Text)
{
    Line += '"';
    Line += Text.toUtf8();
    Line += "\",";
}

void AddFixed(QByteArray &Line, const TLocaleFormats &Formats, double Value, int Decimals)
{
    AddField(Line, FormatFixed(Formats, Value, Decimals));
}

void AddInteger(QByteArray &Line, qint64 Value)
{
    Line += '"';
    Line += QByteArray::number(Value);
    Line += "\",";
}

void AddSample(QByteArray &File, const THistoryData &S, bool WithPwm, const TLocaleFormats &Formats)
{
    AddField(File, FormatDateTime(Formats, QStringLiteral("c"), S.DT));
    for (const float value : {S.U1, S.U2, S.U3, S.I1, S.I2, S.I3})
        AddFixed(File, Formats, value, 2);
    if (WithPwm) {
        for (const std::int32_t pwm : {S.PWM1, S.PWM2, S.PWM3})
            AddInteger(File, pwm);
    }
    for (const float power : {S.P1, S.P2, S.P3})
        AddFixed(File, Formats, power, 1);
    AddInteger(File, S.Energy);
    AddFixed(File, Formats, S.TW, 0);
    AddFixed(File, Formats, S.TB, 0);
    AddInteger(File, S.Err);
    File.chop(1);   // the comma after the last field
    File += LineEnd;
}

}

QString TrimmedLabel(const QString &Text)
{
    qsizetype first = 0;
    qsizetype last = Text.size();
    while (first < last && Text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && Text.at(last - 1).unicode() <= u' ')
        --last;
    return Text.mid(first, last - first);
}

QString SafeFileName(const QString &Name)
{
    QString safe = Name;
    for (QChar &c : safe) {
        if (c.unicode() < u' ' || QStringLiteral("\\/:*?\"<>|").contains(c))
            c = QLatin1Char('-');
    }
    return safe;
}

QByteArray HistoryCsv(const THistoryList &History, int From, int To, bool WithPwm, const TCsvHeading &Heading,
                      const TLocaleFormats &Formats)
{
    QByteArray file = ByteOrderMark;
    file += QStringLiteral("\"%1\",\"%2\",\"%3\"")
                .arg(FormatDateTime(Formats, QStringLiteral("c"), Heading.Written), TrimmedLabel(Heading.SerialNumber),
                     TrimmedLabel(Heading.Firmware))
                .toUtf8();
    file += LineEnd;
    file += "\"Timestamp\",\"U1 [V]\",\"U2 [V]\",\"U3 [V]\",\"I1 [A]\",\"I2 [A]\",\"I3 [A]\",";
    if (WithPwm)
        file += "\"PWM1\",\"PWM2\",\"PWM3\",";
    file += QStringLiteral("\"P1 [W]\",\"P2 [W]\",\"P3 [W]\",\"Energy [Wh]\",\"TW [°C]\",\"TB [°C]\",\"Status\"").toUtf8();
    file += LineEnd;
    for (int index = std::max(From, 0); index < std::min(To, History.Count()); ++index)
        AddSample(file, History.Items(index), WithPwm, Formats);
    return file;
}
