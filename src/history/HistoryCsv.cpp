#include "history/HistoryCsv.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");
const QByteArray LineEnd("\r\n");

// Time stamps as the pattern "c" writes them. A long history repeats its dates from sample to
// sample and its times of day from day to day: each is formatted once.
class TStampTexts {
public:
    explicit TStampTexts(const TLocaleFormats &Formats) : FFormats(Formats), FTimes(SecondsPerDay) {}

    void Add(std::string &Line, TDateTime Value)
    {
        const TDayAndTime split = SplitDateTime(Value);
        if (split.Day != FDay || FDateText.empty()) {
            FDay = split.Day;
            FDateText = FormatShortDate(FFormats, DateTimeToQt(static_cast<double>(split.Day)).date()).toStdString();
        }
        Line += FDateText;
        if (split.MSecs == 0)
            return;
        Line += ' ';
        const QTime time = QTime::fromMSecsSinceStartOfDay(split.MSecs);
        if (split.MSecs % 1000 != 0) {
            Line += FormatLongTime(FFormats, time).toStdString();
            return;
        }
        std::string &text = FTimes[static_cast<std::size_t>(split.MSecs / 1000)];
        if (text.empty())
            text = FormatLongTime(FFormats, time).toStdString();
        Line += text;
    }

private:
    static constexpr std::size_t SecondsPerDay = 86400;
    const TLocaleFormats &FFormats;
    qint64 FDay = 0;
    std::string FDateText;
    std::vector<std::string> FTimes;
};

void AddFixed(std::string &Line, const TLocaleFormats &Formats, double Value, int Decimals)
{
    Line += '"';
    AppendFixed(Line, Formats, Value, Decimals);
    Line += "\",";
}

void AddInteger(std::string &Line, std::int64_t Value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, Value).ptr;
    Line += '"';
    Line.append(digits, end);
    Line += "\",";
}

// One sample's line, built apart and added to the file in one piece.
void AddSample(QByteArray &File, std::string &Line, const THistoryData &S, bool WithPwm, const TLocaleFormats &Formats,
               TStampTexts &Stamps)
{
    Line.clear();
    Line += '"';
    Stamps.Add(Line, S.DT);
    Line += "\",";
    for (const float value : {S.U1, S.U2, S.U3, S.I1, S.I2, S.I3})
        AddFixed(Line, Formats, value, 2);
    if (WithPwm) {
        for (const std::int32_t pwm : {S.PWM1, S.PWM2, S.PWM3})
            AddInteger(Line, pwm);
    }
    for (const float power : {S.P1, S.P2, S.P3})
        AddFixed(Line, Formats, power, 1);
    AddInteger(Line, S.Energy);
    AddFixed(Line, Formats, S.TW, 0);
    AddFixed(Line, Formats, S.TB, 0);
    AddInteger(Line, S.Err);
    Line.back() = '\r';   // the comma after the last field
    Line += '\n';
    File.append(Line.data(), static_cast<qsizetype>(Line.size()));
}

}

QByteArray CsvFileStart()
{
    return ByteOrderMark;
}

QByteArray CsvLine(const QStringList &Fields)
{
    return (QLatin1Char('"') + Fields.join(QStringLiteral("\",\"")) + QLatin1Char('"')).toUtf8() + LineEnd;
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
    file += CsvLine({FormatDateTime(Formats, QStringLiteral("c"), Heading.Written), TrimmedLabel(Heading.SerialNumber),
                     TrimmedLabel(Heading.Firmware)});
    file += "\"Timestamp\",\"U1 [V]\",\"U2 [V]\",\"U3 [V]\",\"I1 [A]\",\"I2 [A]\",\"I3 [A]\",";
    if (WithPwm)
        file += "\"PWM1\",\"PWM2\",\"PWM3\",";
    file += QStringLiteral("\"P1 [W]\",\"P2 [W]\",\"P3 [W]\",\"Energy [Wh]\",\"TW [°C]\",\"TB [°C]\",\"Status\"").toUtf8();
    file += LineEnd;
    const int first = std::max(From, 0);
    const int end = std::min(To, History.Count());
    // Room for the lines up front: the file grows in place rather than by copies of itself.
    constexpr qsizetype LineSizeGuess = 160;
    file.reserve(file.size() + std::max(end - first, 0) * LineSizeGuess);
    TStampTexts stamps(Formats);
    std::string line;
    for (int index = first; index < end; ++index)
        AddSample(file, line, History.Items(index), WithPwm, Formats, stamps);
    return file;
}
