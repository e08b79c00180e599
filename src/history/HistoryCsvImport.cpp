#include "history/HistoryCsvImport.h"

#include "core/DateTime.h"
#include "core/LocaleFormats.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
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

// A time stamp's shape: its text with each run of digits standing as '#' and an English month
// abbreviation as '\x01', the numbers of the runs in order, and the month named.
struct TStampShape {
    static constexpr int MaxRuns = 8;
    std::string Key;
    std::array<int, MaxRuns> Runs{};
    int Count = 0;
    int Month = 0;   // 1 to 12 when a month's name stands in the stamp
    bool Readable = true;   // false for a run too long for a number, or too many runs

    bool operator==(const TStampShape &) const = default;
};

bool IsAsciiLetter(char C)
{
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
}

// The number of an English month abbreviation, as the C locale writes a date; 0 for none.
int MonthOfName(std::string_view Word)
{
    static constexpr std::array<std::string_view, 12> Names{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (std::size_t month = 0; month < Names.size(); ++month) {
        if (Word == Names[month])
            return static_cast<int>(month) + 1;
    }
    return 0;
}

void ShapeStamp(std::string_view Text, TStampShape &Shape)
{
    Shape.Key.clear();
    Shape.Count = 0;
    Shape.Month = 0;
    Shape.Readable = true;
    const auto blank = [](char C) { return C == ' ' || (C >= '\t' && C <= '\r'); };
    while (!Text.empty() && blank(Text.front()))
        Text.remove_prefix(1);
    while (!Text.empty() && blank(Text.back()))
        Text.remove_suffix(1);
    std::size_t at = 0;
    while (at < Text.size()) {
        const char c = Text[at];
        if (IsDigit(c)) {
            const std::size_t start = at;
            int value = 0;
            for (; at < Text.size() && IsDigit(Text[at]); ++at) {
                if (at - start < 9)
                    value = value * 10 + (Text[at] - '0');
            }
            if (at - start > 9 || Shape.Count == TStampShape::MaxRuns)
                Shape.Readable = false;
            else
                Shape.Runs[static_cast<std::size_t>(Shape.Count++)] = value;
            Shape.Key += '#';
            continue;
        }
        if (IsAsciiLetter(c)) {
            const std::size_t start = at;
            while (at < Text.size() && IsAsciiLetter(Text[at]))
                ++at;
            const std::string_view word = Text.substr(start, at - start);
            const int month = Shape.Month == 0 ? MonthOfName(word) : 0;
            if (month != 0) {
                Shape.Month = month;
                Shape.Key += '\x01';
            } else {
                Shape.Key += word;
            }
            continue;
        }
        Shape.Key += c;
        ++at;
    }
}

// Where a date's year, month and day stand among its runs of digits; the month at -1 when named.
struct TDatePlaces {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    bool operator==(const TDatePlaces &) const = default;
};

enum class THalf { None, Am, Pm };

// What a stamp of one shape says: the places of its date, as many as the locales that write the
// shape use, and its time of day.
struct TShapeMeaning {
    int DateRuns = 0;
    bool Timed = false;
    std::array<int, 3> TimeAt{};   // hour, minute, second among the time's runs
    THalf Half = THalf::None;
    std::vector<TDatePlaces> Orders;
};

// The place of the run holding Value among Count runs from First, or -1.
int PlaceOf(const TStampShape &Shape, int First, int Count, int Value)
{
    for (int run = First; run < First + Count; ++run) {
        if (Shape.Runs[static_cast<std::size_t>(run)] == Value)
            return run - First;
    }
    return -1;
}

// The shapes of the stamps that the export writes in every locale Qt knows, learnt by writing a
// date whose day, month and year differ (4 March 2017) at midnight, 01:02:03 and 13:02:03.
std::unordered_map<std::string, TShapeMeaning> LearnShapes()
{
    std::unordered_map<std::string, TShapeMeaning> shapes;
    const QDate date(2017, 3, 4);
    for (const QLocale &locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const TLocaleFormats formats = TLocaleFormats::FromLocale(locale);
        const QString dateText = FormatShortDate(formats, date);
        TStampShape dateShape;
        ShapeStamp(dateText.toStdString(), dateShape);
        const bool named = dateShape.Month != 0;
        const TDatePlaces places{PlaceOf(dateShape, 0, dateShape.Count, 2017), named ? -1 : PlaceOf(dateShape, 0, dateShape.Count, 3),
                                 PlaceOf(dateShape, 0, dateShape.Count, 4)};
        if (dateShape.Count != (named ? 2 : 3) || places.Year < 0 || places.Day < 0 || (!named && places.Month < 0))
            continue;
        const auto learn = [&](const QString &Stamp, bool Timed, THalf Half) {
            TStampShape shape;
            ShapeStamp(Stamp.toStdString(), shape);
            const int first = dateShape.Count;
            TShapeMeaning meaning{dateShape.Count, Timed, {}, Half, {}};
            if (Timed) {
                if (shape.Count != first + 3)
                    return;
                const int hour = Half == THalf::Pm ? PlaceOf(shape, first, 3, 1) : PlaceOf(shape, first, 3, Half == THalf::None ? 13 : 1);
                meaning.TimeAt = {hour, PlaceOf(shape, first, 3, 2), PlaceOf(shape, first, 3, 3)};
                if (std::ranges::find(meaning.TimeAt, -1) != meaning.TimeAt.end())
                    return;
            }
            auto [known, added] = shapes.try_emplace(shape.Key, meaning);
            TShapeMeaning &held = known->second;
            if (std::ranges::find(held.Orders, places) == held.Orders.end())
                held.Orders.push_back(places);
        };
        learn(dateText, false, THalf::None);
        const QString am = FormatLongTime(formats, QTime(1, 2, 3));
        const QString pm = FormatLongTime(formats, QTime(13, 2, 3));
        TStampShape pmShape;
        ShapeStamp(pm.toStdString(), pmShape);
        const bool twelveHours = pmShape.Count == 3 && PlaceOf(pmShape, 0, 3, 13) < 0;
        if (twelveHours && am != pm) {
            learn(dateText + QLatin1Char(' ') + am, true, THalf::Am);
            learn(dateText + QLatin1Char(' ') + pm, true, THalf::Pm);
        } else if (!twelveHours) {
            // The 24-hour probe tells the hour by 13; its AM twin only differs in the hour.
            learn(dateText + QLatin1Char(' ') + pm, true, THalf::None);
        }
    }
    return shapes;
}

const std::unordered_map<std::string, TShapeMeaning> &KnownShapes()
{
    static const std::unordered_map<std::string, TShapeMeaning> shapes = LearnShapes();
    return shapes;
}

// The time of day in milliseconds; -1 when it is no time.
int TimeOfDayMs(const TStampShape &Shape, const TShapeMeaning &Meaning)
{
    if (!Meaning.Timed)
        return 0;
    const auto run = [&](int Index) { return Shape.Runs[static_cast<std::size_t>(Meaning.DateRuns + Meaning.TimeAt[static_cast<std::size_t>(Index)])]; };
    int hour = run(0);
    if (Meaning.Half != THalf::None) {
        if (hour < 1 || hour > 12)
            return -1;
        hour = hour % 12 + (Meaning.Half == THalf::Pm ? 12 : 0);
    }
    const QTime time(hour, run(1), run(2));
    return time.isValid() ? time.msecsSinceStartOfDay() : -1;
}

// What a row keeps of its time stamp until the file's date order is known: its numbers, not its
// shape's text, which a million rows would copy for nothing.
struct TRowStamp {
    std::array<int, TStampShape::MaxRuns> Runs;
    int Month;
    const TShapeMeaning *Meaning;
    int TimeMs;
};

QDate DateIn(const TRowStamp &Stamp, const TDatePlaces &Places)
{
    const auto run = [&](int Place) { return Stamp.Runs[static_cast<std::size_t>(Place)]; };
    return QDate(run(Places.Year), Places.Month < 0 ? Stamp.Month : run(Places.Month), run(Places.Day));
}

TDateTime StampValue(const QDate &Date, int TimeMs)
{
    // What DateTimeFromQt makes of the date and time, without a QDateTime for each row.
    static const qint64 DayZero = QDate(1899, 12, 30).toJulianDay();
    return static_cast<double>(Date.toJulianDay() - DayZero) + TimeMs / MSecsPerDay;
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

// The file's dates read in one order, the order told from all of them.
class TDateReading {
public:
    explicit TDateReading(const THistoryCsvRules &Rules) : FRules(Rules) {}

    // The date in the order, when it is one and a heater's.
    std::optional<QDate> Date(const TRowStamp &Stamp, const TDatePlaces &Order) const
    {
        const std::vector<TDatePlaces> &orders = Stamp.Meaning->Orders;
        if (std::ranges::find(orders, Order) == orders.end())
            return std::nullopt;
        const QDate date = DateIn(Stamp, Order);
        if (!date.isValid() || date.year() < FirstSampleYear || date.year() > FRules.LatestYear)
            return std::nullopt;
        return date;
    }

    // Whether the stamp is a date in some order its shape is written in, whatever its year.
    bool Dated(const TRowStamp &Stamp) const
    {
        return std::ranges::any_of(Stamp.Meaning->Orders, [&](const TDatePlaces &Order) { return DateIn(Stamp, Order).isValid(); });
    }

    // The one order that reads every row that some order reads, none for a file without a date
    // to read. Throws where no order reads them all, and where several do but date them apart.
    std::optional<TDatePlaces> FileOrder(const std::vector<TRowStamp> &Stamps) const
    {
        std::vector<TDatePlaces> candidates;
        const TShapeMeaning *seen = nullptr;
        for (const TRowStamp &stamp : Stamps) {
            if (stamp.Meaning == seen)
                continue;
            seen = stamp.Meaning;
            for (const TDatePlaces &order : stamp.Meaning->Orders) {
                if (std::ranges::find(candidates, order) == candidates.end())
                    candidates.push_back(order);
            }
        }
        if (FRules.Order) {
            // A month written by its name leaves nothing to choose.
            std::erase_if(candidates, [&](const TDatePlaces &Order) { return Order.Month >= 0 && !Is(Order, *FRules.Order); });
            return candidates.empty() ? std::nullopt : std::optional<TDatePlaces>(candidates.front());
        }
        std::vector<TDatePlaces> fitting = candidates;
        bool anyDated = false;
        for (const TRowStamp &stamp : Stamps) {
            const bool dated = std::ranges::any_of(candidates, [&](const TDatePlaces &Order) { return Date(stamp, Order).has_value(); });
            if (!dated)
                continue;
            anyDated = true;
            std::erase_if(fitting, [&](const TDatePlaces &Order) { return !Date(stamp, Order); });
        }
        if (!anyDated)
            return std::nullopt;
        if (fitting.empty())
            throw std::runtime_error("its dates are written in more than one order (day first and month first); "
                                     "nothing was imported");
        for (const TRowStamp &stamp : Stamps) {
            const std::optional<QDate> first = Date(stamp, fitting.front());
            for (const TDatePlaces &order : fitting) {
                if (Date(stamp, order) != first)
                    throw std::runtime_error(QStringLiteral("its dates can be read in more than one order (one reads as %1 "
                                                            "or as %2); nothing was imported: name the order with --date-order")
                                                 .arg(first->toString(Qt::ISODate), Date(stamp, order)->toString(Qt::ISODate))
                                                 .toStdString());
            }
        }
        return fitting.front();
    }

private:
    static bool Is(const TDatePlaces &Places, TDateOrder Order)
    {
        switch (Order) {
        case TDateOrder::DayFirst: return Places.Day < Places.Month && Places.Month < Places.Year;
        case TDateOrder::MonthFirst: return Places.Month < Places.Day && Places.Day < Places.Year;
        case TDateOrder::YearFirst: return Places.Year < Places.Month && Places.Month < Places.Day;
        }
        return false;
    }

    const THistoryCsvRules &FRules;
};

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

THistoryCsvImport ReadHistoryCsv(const QByteArray &File, const THistoryCsvRules &Rules)
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

    // The stamps of all rows first: the order of their dates is told from all of them together.
    // The samples wait in the list they end in, their stamps beside them.
    std::size_t rowCount = 0;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
        ++rowCount;
    std::vector<THistoryData> samples;
    std::vector<TRowStamp> stamps;
    samples.reserve(rowCount);
    stamps.reserve(rowCount);
    const std::unordered_map<std::string, TShapeMeaning> &known = KnownShapes();
    TRowFields fields;
    TStampShape shape;
    const TShapeMeaning *meaning = nullptr;
    std::string lastKey;
    for (std::string_view line; lines.Next(line);) {
        if (!fields.Split(line) || fields.Count() == 0) {
            ++import.BadRows;
            continue;
        }
        ShapeStamp(fields[0], shape);
        // A long file repeats one shape: it is looked up when it changes.
        if (shape.Key != lastKey || !meaning) {
            const auto found = known.find(shape.Key);
            meaning = found == known.end() ? nullptr : &found->second;
            lastKey = shape.Key;
        }
        const std::optional<THistoryData> sample = SampleOfRow(fields, columns);
        const int timeMs = meaning && shape.Readable ? TimeOfDayMs(shape, *meaning) : -1;
        if (!sample || timeMs < 0) {
            ++import.BadRows;
            continue;
        }
        if (sample->Energy < 0 || sample->Energy > LargestEnergyWh) {
            ++import.RefusedRows;
            continue;
        }
        samples.push_back(*sample);
        stamps.push_back({shape.Runs, shape.Month, meaning, timeMs});
    }
    const TDateReading reading(Rules);
    const std::optional<TDatePlaces> order = reading.FileOrder(stamps);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::optional<QDate> date = order ? reading.Date(stamps[i], *order) : std::nullopt;
        if (!date) {
            ++(reading.Dated(stamps[i]) ? import.RefusedRows : import.BadRows);
            continue;
        }
        samples[kept] = samples[i];
        samples[kept++].DT = StampValue(*date, stamps[i].TimeMs);
    }
    samples.resize(kept);
    import.Samples = THistoryList(std::move(samples));
    return import;
}
