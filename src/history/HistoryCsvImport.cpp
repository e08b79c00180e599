#include "history/HistoryCsvImport.h"

#include "core/DateTime.h"

#include <QDate>
#include <QTime>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The file is read as its bytes: a file of a million rows made a million strings of each field.
// Quotes, commas and line ends are ASCII, which no other character of UTF-8 contains, so the bytes
// split into lines and fields as the text does; a field holding other characters than ASCII is
// decoded and read as text.

namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

template <class Char>
bool IsDigit(Char C)
{
    return C >= '0' && C <= '9';
}

bool IsAscii(std::string_view Bytes)
{
    for (const char c : Bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Bytes of the file decoded as the whole file's decoding gives them where ASCII stands on both
// sides: so a byte order mark at their start is not taken for the file's.
QString TextBetweenAscii(std::string_view Bytes)
{
    QByteArray framed;
    framed.reserve(static_cast<qsizetype>(Bytes.size()) + 2);
    framed += '\n';
    framed.append(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
    framed += '\n';
    const QString text = QString::fromUtf8(framed);
    return text.mid(1, text.size() - 2);
}

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

// The fields of a row's line, each seen where it stands in the line; only one with a quote inside
// is put together apart, in a buffer that every row reuses.
class TRowFields {
public:
    // False when the line is not such a row; the same rule as for the lines of text above.
    bool Split(std::string_view Line)
    {
        FFields.clear();
        FUnquoted.clear();
        FUnquoted.reserve(Line.size());   // never more than the line: the fields seen in it stay put
        const char *const end = Line.data() + Line.size();
        const char *at = Line.data();
        const auto closingQuote = [&] {
            while (at < end && *at != '"')
                ++at;
            return at < end;
        };
        const auto doubled = [&] { return at + 1 < end && at[1] == '"'; };
        while (at < end) {
            if (*at != '"')
                return false;
            const char *const start = ++at;
            if (!closingQuote())
                return false;
            std::string_view field(start, static_cast<std::size_t>(at - start));
            if (doubled()) {
                const std::size_t first = FUnquoted.size();
                FUnquoted.append(field);
                do {
                    FUnquoted += '"';
                    at += 2;
                    const char *const piece = at;
                    if (!closingQuote())
                        return false;
                    FUnquoted.append(piece, static_cast<std::size_t>(at - piece));
                } while (doubled());
                field = std::string_view(FUnquoted).substr(first);
            }
            FFields.push_back(field);
            ++at;   // the closing quote
            if (at < end) {
                if (*at != ',')
                    return false;
                ++at;
                if (at == end)
                    return false;
            }
        }
        return true;
    }

    int Count() const { return static_cast<int>(FFields.size()); }
    std::string_view operator[](int Index) const { return FFields[static_cast<std::size_t>(Index)]; }

private:
    std::vector<std::string_view> FFields;
    std::string FUnquoted;
};

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

// The same for a field's bytes. Up to 15 digits, the digits as a whole number and the power of
// ten are both exact doubles, and their quotient is the correctly rounded value, as the text's
// conversion gives it; longer numbers and other characters than ASCII go the way of the text.
std::optional<double> ParseNumber(std::string_view Field)
{
    if (!IsAscii(Field))
        return ParseNumber(TextBetweenAscii(Field));
    static constexpr std::array<double, 16> PowersOfTen{1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t at = 0;
    const bool minus = !Field.empty() && Field[0] == '-';
    if (minus)
        ++at;
    std::uint64_t digits = 0;
    std::size_t count = 0;
    const std::size_t firstDigit = at;
    for (; at < Field.size() && IsDigit(Field[at]); ++at, ++count)
        digits = digits * 10 + static_cast<std::uint64_t>(Field[at] - '0');
    if (at == firstDigit)
        return std::nullopt;
    std::size_t decimals = 0;
    if (at < Field.size()) {
        ++at;   // the decimal separator
        const std::size_t fraction = at;
        for (; at < Field.size() && IsDigit(Field[at]); ++at, ++count, ++decimals)
            digits = digits * 10 + static_cast<std::uint64_t>(Field[at] - '0');
        if (at == fraction || at != Field.size())
            return std::nullopt;
    }
    if (count > 15)
        return ParseNumber(QString::fromLatin1(Field.data(), static_cast<qsizetype>(Field.size())));
    const double value = static_cast<double>(digits) / PowersOfTen[decimals];
    return minus ? -value : value;
}

std::optional<std::int32_t> ParseInteger(const QString &Text)
{
    bool ok = false;
    const int value = Text.toInt(&ok);
    return ok ? std::optional<std::int32_t>(value) : std::nullopt;
}

// Up to nine digits with an optional minus, as the export writes them, read here; anything
// else the way of the text.
std::optional<std::int32_t> ParseInteger(std::string_view Field)
{
    if (!IsAscii(Field))
        return ParseInteger(TextBetweenAscii(Field));
    const std::size_t first = !Field.empty() && Field[0] == '-' ? 1 : 0;
    std::size_t at = first;
    while (at < Field.size() && at - first < 9 && IsDigit(Field[at]))
        ++at;
    if (at != Field.size() || at == first)
        return ParseInteger(QString::fromLatin1(Field.data(), static_cast<qsizetype>(Field.size())));
    std::int32_t value = 0;
    for (std::size_t digit = first; digit < at; ++digit)
        value = value * 10 + (Field[digit] - '0');
    return first == 1 ? -value : value;
}

// The runs of digits of a text: the first three of them, and how many there are; none when a run
// is too long for a number.
struct TNumberRuns {
    std::array<int, 3> Numbers{};
    std::array<int, 3> Widths{};
    int Count = 0;
};

// AfterLast is where the last run ends.
template <class Char>
TNumberRuns NumberRuns(const Char *Text, qsizetype Size, qsizetype &AfterLast)
{
    TNumberRuns runs;
    AfterLast = 0;
    qsizetype at = 0;
    while (at < Size) {
        if (!IsDigit(Text[at])) {
            ++at;
            continue;
        }
        const qsizetype start = at;
        int value = 0;
        for (; at < Size && IsDigit(Text[at]); ++at) {
            if (at - start < 9)
                value = value * 10 + (Text[at] - '0');
        }
        if (at - start > 9)
            return {};
        if (runs.Count < 3) {
            runs.Numbers[static_cast<std::size_t>(runs.Count)] = value;
            runs.Widths[static_cast<std::size_t>(runs.Count)] = static_cast<int>(at - start);
        }
        ++runs.Count;
        AfterLast = at;
    }
    return runs;
}

enum class TDateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

// What stands after a 12-hour time: AM, PM, none, or something else.
enum class TMarker { None, Am, Pm, Other };

TMarker MarkerOf(const QString &Rest)
{
    const QString marker = Rest.trimmed().toUpper();
    if (marker.isEmpty())
        return TMarker::None;
    if (marker.startsWith(QLatin1Char('P')))
        return TMarker::Pm;
    return marker.startsWith(QLatin1Char('A')) ? TMarker::Am : TMarker::Other;
}

TMarker MarkerOf(std::string_view Rest)
{
    for (const char c : Rest) {
        if (c == ' ' || (c >= '\t' && c <= '\r'))
            continue;
        if (c == 'P' || c == 'p')
            return TMarker::Pm;
        return c == 'A' || c == 'a' ? TMarker::Am : TMarker::Other;
    }
    return TMarker::None;
}

// A time stamp's date and time of day as the export writes them: the short date, and the long
// time unless it is midnight.
struct TStampText {
    TNumberRuns Date;
    TNumberRuns Time;
    TMarker Marker = TMarker::None;
};

// Of a stamp without blanks around it: the date up to the first blank, the time after it.
// MarkerAfter gives the marker of the text from a position on: what follows the time's digits.
template <class Char, class Marker>
std::optional<TStampText> SplitTrimmedStamp(const Char *Text, qsizetype Size, Marker MarkerAfter)
{
    qsizetype space = 0;
    while (space < Size && Text[space] != ' ')
        ++space;
    qsizetype afterLast = 0;
    TStampText stamp{NumberRuns(Text, space, afterLast), {}, TMarker::None};
    if (stamp.Date.Count != 3)
        return std::nullopt;
    if (space < Size) {
        stamp.Time = NumberRuns(Text + space + 1, Size - space - 1, afterLast);
        if (stamp.Time.Count != 3)
            return std::nullopt;
        stamp.Marker = MarkerAfter(space + 1 + afterLast);
    }
    return stamp;
}

std::optional<TStampText> SplitStamp(const QString &Text)
{
    const QString trimmed = Text.trimmed();
    return SplitTrimmedStamp(reinterpret_cast<const char16_t *>(trimmed.utf16()), trimmed.size(),
                             [&](qsizetype From) { return MarkerOf(trimmed.mid(From)); });
}

std::optional<TStampText> SplitStamp(std::string_view Field)
{
    if (!IsAscii(Field))
        return SplitStamp(TextBetweenAscii(Field));
    const auto blank = [](char C) { return C == ' ' || (C >= '\t' && C <= '\r'); };
    while (!Field.empty() && blank(Field.front()))
        Field.remove_prefix(1);
    while (!Field.empty() && blank(Field.back()))
        Field.remove_suffix(1);
    return SplitTrimmedStamp(Field.data(), static_cast<qsizetype>(Field.size()),
                             [&](qsizetype From) { return MarkerOf(Field.substr(static_cast<std::size_t>(From))); });
}

// The order of day, month and year that the file's dates were written in: the year is the
// four-digit field; of the other two, a value above 12 tells the day; without one, a date
// written without leading zeros tells the American order, and the day comes first otherwise.
class TDateOrderTally {
public:
    void Add(const TNumberRuns &Date)
    {
        fourDigitFirst = fourDigitFirst || Date.Widths[0] == 4;
        firstAbove12 = firstAbove12 || Date.Numbers[0] > 12;
        secondAbove12 = secondAbove12 || Date.Numbers[1] > 12;
        unpadded = unpadded || Date.Widths[0] == 1 || Date.Widths[1] == 1;
    }

    TDateOrder Order() const
    {
        if (fourDigitFirst)
            return TDateOrder::YearMonthDay;
        if (firstAbove12)
            return TDateOrder::DayMonthYear;
        if (secondAbove12 || unpadded)
            return TDateOrder::MonthDayYear;
        return TDateOrder::DayMonthYear;
    }

private:
    bool fourDigitFirst = false;
    bool firstAbove12 = false;
    bool secondAbove12 = false;
    bool unpadded = false;
};

// The time of day in milliseconds, midnight when the stamp has none; -1 when it is no time.
int TimeOfDayMs(const TStampText &Stamp)
{
    if (Stamp.Time.Count == 0)
        return 0;
    int hour = Stamp.Time.Numbers[0];
    if (Stamp.Marker == TMarker::Other)
        return -1;
    if (Stamp.Marker != TMarker::None) {
        if (hour < 1 || hour > 12)
            return -1;
        hour = hour % 12 + (Stamp.Marker == TMarker::Pm ? 12 : 0);
    }
    const QTime time(hour, Stamp.Time.Numbers[1], Stamp.Time.Numbers[2]);
    return time.isValid() ? time.msecsSinceStartOfDay() : -1;
}

// What a row keeps of its time stamp until the file's date order is known.
struct TRowStamp {
    std::array<int, 3> Date;
    int TimeMs;
};

std::optional<TDateTime> StampValue(const TRowStamp &Stamp, TDateOrder Order)
{
    const std::array<int, 3> &n = Stamp.Date;
    QDate date;
    switch (Order) {
    case TDateOrder::DayMonthYear: date = QDate(n[2], n[1], n[0]); break;
    case TDateOrder::MonthDayYear: date = QDate(n[2], n[0], n[1]); break;
    case TDateOrder::YearMonthDay: date = QDate(n[0], n[1], n[2]); break;
    }
    if (!date.isValid())
        return std::nullopt;
    // What DateTimeFromQt makes of the date and time, without a QDateTime for each row; far
    // beyond the calendar's years a QDateTime holds no date, and the value is left to it.
    static const qint64 DayZero = QDate(1899, 12, 30).toJulianDay();
    if (date.year() <= 9999)
        return static_cast<double>(date.toJulianDay() - DayZero) + Stamp.TimeMs / MSecsPerDay;
    return DateTimeFromQt(QDateTime(date, QTime::fromMSecsSinceStartOfDay(Stamp.TimeMs), Qt::UTC));
}

// The positions of the columns after the time stamp, with or without the PWM columns.
struct TColumns {
    int Count = 0;
    bool WithPwm = false;
};

// The row's sample with its time stamp left for later; none when a value cannot be read.
std::optional<THistoryData> SampleOfRow(const TRowFields &Fields, const TColumns &Columns)
{
    if (Fields.Count() != Columns.Count)
        return std::nullopt;
    THistoryData sample;
    int column = 1;
    const auto number = [&](float &Target) {
        const std::optional<double> value = column < Fields.Count() ? ParseNumber(Fields[column]) : std::nullopt;
        ++column;
        if (value)
            Target = static_cast<float>(*value);
        return value.has_value();
    };
    const auto integer = [&](std::int32_t &Target) {
        const std::optional<std::int32_t> value = column < Fields.Count() ? ParseInteger(Fields[column]) : std::nullopt;
        ++column;
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

// The lines of the text one after the other: split at each line feed, a carriage return before it
// dropped; the empty line after a last line feed is none.
class TLines {
public:
    explicit TLines(std::string_view Text) : FText(Text) {}

    bool Next(std::string_view &Line)
    {
        if (FAt > FText.size())
            return false;
        const std::size_t end = FText.find('\n', FAt);
        const bool last = end == std::string_view::npos;
        Line = FText.substr(FAt, last ? std::string_view::npos : end - FAt);
        FAt = last ? FText.size() + 1 : end + 1;
        if (!Line.empty() && Line.back() == '\r')
            Line.remove_suffix(1);
        return !(last && Line.empty());
    }

private:
    std::string_view FText;
    std::size_t FAt = 0;
};

}

THistoryCsvImport ReadHistoryCsv(const QByteArray &File)
{
    const qsizetype skipped = File.startsWith(ByteOrderMark) ? ByteOrderMark.size() : 0;
    const std::string_view text(File.constData() + skipped, static_cast<std::size_t>(File.size() - skipped));
    TLines lines(text);
    std::string_view headingLine, titlesLine;
    const bool headed = lines.Next(headingLine) && lines.Next(titlesLine);
    const std::optional<QStringList> titles = headed ? SplitCsvLine(TextBetweenAscii(titlesLine)) : std::nullopt;
    if (!titles || titles->isEmpty() || titles->first() != QLatin1String("Timestamp"))
        throw std::runtime_error("not a history CSV file: its second line holds no column titles");
    const TColumns columns{static_cast<int>(titles->size()), titles->contains(QStringLiteral("PWM1"))};

    THistoryCsvImport import;
    // The heading stands at the text's start, where the decoding drops one more byte order mark.
    const QString heading = QString::fromUtf8(QByteArray(headingLine.data(), static_cast<qsizetype>(headingLine.size())) + '\n').chopped(1);
    if (const std::optional<QStringList> fields = SplitCsvLine(heading); fields && fields->size() >= 2)
        import.SerialNumber = fields->at(1).trimmed();

    // The dates of all rows first: their order is told from all of them together. The samples
    // wait in the list they end in, their time stamps beside them.
    std::size_t rowCount = 0;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
        ++rowCount;
    std::vector<THistoryData> samples;
    std::vector<TRowStamp> stamps;
    samples.reserve(rowCount);
    stamps.reserve(rowCount);
    TDateOrderTally dateOrder;
    TRowFields fields;
    for (std::string_view line; lines.Next(line);) {
        const std::optional<TStampText> stamp = fields.Split(line) && fields.Count() > 0 ? SplitStamp(fields[0]) : std::nullopt;
        if (!stamp) {
            ++import.BadRows;
            continue;
        }
        dateOrder.Add(stamp->Date);
        const std::optional<THistoryData> sample = SampleOfRow(fields, columns);
        const int timeMs = TimeOfDayMs(*stamp);
        if (!sample || timeMs < 0) {
            ++import.BadRows;
            continue;
        }
        samples.push_back(*sample);
        stamps.push_back({stamp->Date.Numbers, timeMs});
    }
    const TDateOrder order = dateOrder.Order();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::optional<TDateTime> stamp = StampValue(stamps[i], order);
        if (!stamp) {
            ++import.BadRows;
            continue;
        }
        samples[kept] = samples[i];
        samples[kept++].DT = *stamp;
    }
    samples.resize(kept);
    import.Samples = THistoryList(std::move(samples));
    return import;
}
