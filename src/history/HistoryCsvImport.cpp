#include "history/HistoryCsvImport.h"

#include "core/DateTime.h"

#include <QDate>
#include <QTime>

#include <array>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

// The fields of one line: each in double quotes (a quote inside doubled), separated by commas.
std::optional<QStringList> SplitCsvLine(const QString &Line)
{
    QStringList fields;
    qsizetype at = 0;
    while (at < Line.size()) {
        if (Line.at(at) != QLatin1Char('"'))
            return std::nullopt;
        QString field;
        for (++at;; ++at) {
            if (at >= Line.size())
                return std::nullopt;
            if (Line.at(at) == QLatin1Char('"')) {
                if (at + 1 < Line.size() && Line.at(at + 1) == QLatin1Char('"')) {
                    field += QLatin1Char('"');
                    ++at;
                    continue;
                }
                break;
            }
            field += Line.at(at);
        }
        fields << field;
        ++at;   // the closing quote
        if (at < Line.size()) {
            if (Line.at(at) != QLatin1Char(','))
                return std::nullopt;
            ++at;
            if (at == Line.size())
                return std::nullopt;
        }
    }
    return fields;
}

// A number as the export writes it: an optional minus, digits, and optionally one decimal
// separator, whichever character the locale used, followed by digits.
std::optional<double> ParseNumber(const QString &Text)
{
    QString plain;
    qsizetype at = 0;
    if (Text.startsWith(QLatin1Char('-'))) {
        plain += QLatin1Char('-');
        ++at;
    }
    const qsizetype firstDigit = at;
    while (at < Text.size() && Text.at(at).isDigit() && Text.at(at).unicode() < 128)
        plain += Text.at(at++);
    if (at == firstDigit)
        return std::nullopt;
    if (at < Text.size()) {
        ++at;   // the decimal separator
        const qsizetype fraction = at;
        plain += QLatin1Char('.');
        while (at < Text.size() && Text.at(at).isDigit() && Text.at(at).unicode() < 128)
            plain += Text.at(at++);
        if (at == fraction || at != Text.size())
            return std::nullopt;
    }
    bool ok = false;
    const double value = plain.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<std::int32_t> ParseInteger(const QString &Text)
{
    bool ok = false;
    const int value = Text.toInt(&ok);
    return ok ? std::optional<std::int32_t>(value) : std::nullopt;
}

// The runs of digits of a text, and what stands after the last of them.
struct TNumberRuns {
    std::vector<int> Numbers;
    std::vector<int> Widths;
    QString Rest;
};

TNumberRuns NumberRuns(const QString &Text)
{
    TNumberRuns runs;
    qsizetype at = 0;
    qsizetype afterLast = 0;
    while (at < Text.size()) {
        if (!Text.at(at).isDigit() || Text.at(at).unicode() >= 128) {
            ++at;
            continue;
        }
        const qsizetype start = at;
        while (at < Text.size() && Text.at(at).isDigit() && Text.at(at).unicode() < 128)
            ++at;
        if (at - start > 9)
            return {};
        runs.Numbers.push_back(Text.mid(start, at - start).toInt());
        runs.Widths.push_back(static_cast<int>(at - start));
        afterLast = at;
    }
    runs.Rest = Text.mid(afterLast).trimmed();
    return runs;
}

enum class TDateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

// A time stamp's date and time of day as the export writes them: the short date, and the long
// time unless it is midnight.
struct TStampText {
    TNumberRuns Date;
    TNumberRuns Time;
};

std::optional<TStampText> SplitStamp(const QString &Text)
{
    const QString trimmed = Text.trimmed();
    const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
    TStampText stamp{NumberRuns(space < 0 ? trimmed : trimmed.left(space)), {}};
    if (stamp.Date.Numbers.size() != 3)
        return std::nullopt;
    if (space >= 0) {
        stamp.Time = NumberRuns(trimmed.mid(space + 1));
        if (stamp.Time.Numbers.size() != 3)
            return std::nullopt;
    }
    return stamp;
}

// The order of day, month and year that the file's dates were written in: the year is the
// four-digit field; of the other two, a value above 12 tells the day; without one, a date
// written without leading zeros tells the American order, and the day comes first otherwise.
TDateOrder DateOrder(const std::vector<TStampText> &Stamps)
{
    bool firstAbove12 = false;
    bool secondAbove12 = false;
    bool unpadded = false;
    for (const TStampText &stamp : Stamps) {
        const TNumberRuns &date = stamp.Date;
        if (date.Widths[0] == 4)
            return TDateOrder::YearMonthDay;
        firstAbove12 = firstAbove12 || date.Numbers[0] > 12;
        secondAbove12 = secondAbove12 || date.Numbers[1] > 12;
        unpadded = unpadded || date.Widths[0] == 1 || date.Widths[1] == 1;
    }
    if (firstAbove12)
        return TDateOrder::DayMonthYear;
    if (secondAbove12 || unpadded)
        return TDateOrder::MonthDayYear;
    return TDateOrder::DayMonthYear;
}

std::optional<TDateTime> StampValue(const TStampText &Stamp, TDateOrder Order)
{
    const std::vector<int> &n = Stamp.Date.Numbers;
    QDate date;
    switch (Order) {
    case TDateOrder::DayMonthYear: date = QDate(n[2], n[1], n[0]); break;
    case TDateOrder::MonthDayYear: date = QDate(n[2], n[0], n[1]); break;
    case TDateOrder::YearMonthDay: date = QDate(n[0], n[1], n[2]); break;
    }
    if (!date.isValid())
        return std::nullopt;
    QTime time(0, 0);
    if (!Stamp.Time.Numbers.empty()) {
        int hour = Stamp.Time.Numbers[0];
        const QString marker = Stamp.Time.Rest.toUpper();
        const bool pm = marker.startsWith(QLatin1Char('P'));
        if (!marker.isEmpty() && !pm && !marker.startsWith(QLatin1Char('A')))
            return std::nullopt;
        if (!marker.isEmpty()) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (pm ? 12 : 0);
        }
        time = QTime(hour, Stamp.Time.Numbers[1], Stamp.Time.Numbers[2]);
        if (!time.isValid())
            return std::nullopt;
    }
    return DateTimeFromQt(QDateTime(date, time, Qt::UTC));
}

// The positions of the columns after the time stamp, with or without the PWM columns.
struct TColumns {
    int Count = 0;
    bool WithPwm = false;
};

std::optional<THistoryData> SampleOfRow(const QStringList &Fields, TDateTime Stamp, const TColumns &Columns)
{
    if (Fields.size() != Columns.Count)
        return std::nullopt;
    THistoryData sample;
    sample.DT = Stamp;
    int column = 1;
    const auto number = [&](float &Target) {
        const std::optional<double> value = ParseNumber(Fields[column++]);
        if (value)
            Target = static_cast<float>(*value);
        return value.has_value();
    };
    const auto integer = [&](std::int32_t &Target) {
        const std::optional<std::int32_t> value = ParseInteger(Fields[column++]);
        if (value)
            Target = *value;
        return value.has_value();
    };
    bool whole = number(sample.U1) && number(sample.U2) && number(sample.U3) && number(sample.I1) && number(sample.I2)
                 && number(sample.I3);
    if (whole && Columns.WithPwm)
        whole = integer(sample.PWM1) && integer(sample.PWM2) && integer(sample.PWM3);
    whole = whole && number(sample.P1) && number(sample.P2) && number(sample.P3) && integer(sample.Energy)
            && number(sample.TW) && number(sample.TB) && integer(sample.Err);
    return whole ? std::optional<THistoryData>(sample) : std::nullopt;
}

}

THistoryCsvImport ReadHistoryCsv(const QByteArray &File)
{
    const QByteArray text = File.startsWith(ByteOrderMark) ? File.mid(ByteOrderMark.size()) : File;
    QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const std::optional<QStringList> titles = lines.size() >= 2 ? SplitCsvLine(lines[1]) : std::nullopt;
    if (!titles || titles->isEmpty() || titles->first() != QLatin1String("Timestamp"))
        throw std::runtime_error("not a history CSV file: its second line holds no column titles");
    const TColumns columns{static_cast<int>(titles->size()), titles->contains(QStringLiteral("PWM1"))};

    THistoryCsvImport import;
    if (const std::optional<QStringList> heading = SplitCsvLine(lines[0]); heading && heading->size() >= 2)
        import.SerialNumber = heading->at(1).trimmed();

    // The dates of all rows first: their order is told from all of them together.
    std::vector<QStringList> rows;
    std::vector<TStampText> stamps;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const std::optional<QStringList> fields = SplitCsvLine(lines[i]);
        const std::optional<TStampText> stamp = fields && !fields->isEmpty() ? SplitStamp(fields->first()) : std::nullopt;
        if (!stamp) {
            ++import.BadRows;
            continue;
        }
        rows.push_back(*fields);
        stamps.push_back(*stamp);
    }
    const TDateOrder order = DateOrder(stamps);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::optional<TDateTime> stamp = StampValue(stamps[i], order);
        const std::optional<THistoryData> sample = stamp ? SampleOfRow(rows[i], *stamp, columns) : std::nullopt;
        if (sample)
            import.Samples.Add(*sample);
        else
            ++import.BadRows;
    }
    return import;
}
