#include "core/LocaleFormats.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <stdexcept>
#include <string>

namespace {

constexpr QChar Quote = QLatin1Char('\'');

bool IsQuoted(const QString &Part)
{
    return Part.startsWith(Quote);
}

bool IsField(const QString &Part, QChar Letter)
{
    return !Part.isEmpty() && Part.at(0) == Letter;
}

bool IsBlank(const QString &Part)
{
    return Part.size() == 1 && Part.at(0).isSpace();
}

// A Qt date-time pattern split into fields (runs of one letter), quoted literals and single
// other characters, so that edits of fields never reach into quoted text.
QStringList SplitPattern(const QString &Pattern)
{
    QStringList parts;
    const qsizetype count = Pattern.size();
    qsizetype start = 0;
    while (start < count) {
        const QChar first = Pattern.at(start);
        qsizetype end = start + 1;
        if (first == Quote) {
            // Inside quotes a doubled quote is a quote character, not the end.
            while (end < count) {
                if (Pattern.at(end) != Quote) {
                    ++end;
                } else if (end + 1 < count && Pattern.at(end + 1) == Quote) {
                    end += 2;
                } else {
                    ++end;
                    break;
                }
            }
        } else if (first.isLetter()) {
            while (end < count && Pattern.at(end) == first)
                ++end;
        }
        parts.append(Pattern.mid(start, end - start));
        start = end;
    }
    return parts;
}

QString QuotedLiteral(const QString &Text)
{
    QString escaped = Text;
    escaped.replace(Quote, QStringLiteral("''"));
    return Quote + escaped + Quote;
}

// Years are always written with four digits, as the program's dates are.
QString WidenYear(const QString &Pattern)
{
    QStringList parts = SplitPattern(Pattern);
    for (QString &part : parts) {
        if (part == QLatin1String("yy"))
            part = QStringLiteral("yyyy");
    }
    return parts.join(QString());
}

// Drops the time-zone field with the blank (or brackets) that set it apart from the time.
QString WithoutZone(const QString &Pattern)
{
    QStringList parts = SplitPattern(Pattern);
    qsizetype index = 0;
    while (index < parts.size()) {
        if (!IsField(parts.at(index), QLatin1Char('t'))) {
            ++index;
            continue;
        }
        qsizetype first = index;
        qsizetype last = index;
        const auto enclosed = [&](const char *Open, const char *Close) {
            return first > 0 && last + 1 < parts.size() && parts.at(first - 1) == QLatin1String(Open)
                   && parts.at(last + 1) == QLatin1String(Close);
        };
        if (enclosed("(", ")") || enclosed("[", "]")) {
            --first;
            ++last;
        }
        if (first > 0 && IsBlank(parts.at(first - 1))) {
            while (first > 0 && IsBlank(parts.at(first - 1)))
                --first;
        } else {
            while (last + 1 < parts.size() && IsBlank(parts.at(last + 1)))
                ++last;
        }
        parts.remove(first, last - first + 1);
        index = first;
    }
    return parts.join(QString());
}

// The first character outside quotes that is neither a letter, a digit, a blank nor an invisible
// direction mark: the character that separates the fields.
QChar FirstSeparator(const QString &Pattern, QChar Fallback)
{
    for (const QString &part : SplitPattern(Pattern)) {
        if (part.size() != 1 || IsQuoted(part))
            continue;
        const QChar c = part.at(0);
        if (!c.isLetterOrNumber() && !c.isSpace() && c.category() != QChar::Other_Format)
            return c;
    }
    return Fallback;
}

QChar FirstCharOr(const QString &Text, QChar Fallback)
{
    return Text.isEmpty() ? Fallback : Text.at(0);
}

QString MonthName(const TLocaleFormats &Formats, int Month)
{
    if (Formats.ShortMonthNames.size() >= Month)
        return Formats.ShortMonthNames.at(Month - 1);
    return QLocale::c().standaloneMonthName(Month, QLocale::ShortFormat);
}

// The decimal digits of Magnitude * 10^Decimals rounded half away from zero, without leading
// zeros ("0" for zero). Rounding reads the first 15 significant digits, so that a float widened
// to double (0.15f is 0.15000000596...) rounds as its decimal reading does.
std::string RoundedDigits(double Magnitude, int Decimals);

// The quick way for the usual case: the value scaled to its last decimal lies clearly off the
// halfway point, where the exact double and its 15-digit reading round alike. Writes the digits
// into Buffer and returns their end, or nullptr where the careful way must decide.
char *QuickRoundedDigits(double Magnitude, int Decimals, char (&Buffer)[24])
{
    static constexpr double Scales[] = {1, 10, 100, 1000, 1e4, 1e5, 1e6};
    if (Decimals >= static_cast<int>(std::size(Scales)))
        return nullptr;
    const double scaled = Magnitude * Scales[Decimals];
    if (!(scaled < 1e12))
        return nullptr;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-6)
        return nullptr;
    const auto rounded = static_cast<long long>(fraction > 0.5 ? whole + 1 : whole);
    return std::to_chars(Buffer, Buffer + sizeof Buffer, rounded).ptr;
}

std::string RoundedDigits(double Magnitude, int Decimals)
{
    char quick[24];
    if (const char *end = QuickRoundedDigits(Magnitude, Decimals, quick))
        return std::string(static_cast<const char *>(quick), end);
    char buffer[40] = {};
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, Magnitude, std::chars_format::scientific, 14);
    // buffer holds "d.ddddddddddddddde+XX", without a terminating zero
    const std::string significant = std::string(1, buffer[0]) + std::string(buffer + 2, buffer + 16);
    const char *exponentText = std::find(buffer, result.ptr, 'e') + 1;
    if (exponentText < result.ptr && *exponentText == '+')
        ++exponentText;
    int exponent = 0;
    std::from_chars(exponentText, result.ptr, exponent);
    const long long keep = static_cast<long long>(exponent) + 1 + Decimals;   // digits before the rounding place
    if (keep < 0)
        return "0";

    const auto width = static_cast<long long>(significant.size());
    std::string digits = significant.substr(0, static_cast<size_t>(std::min(keep, width)));
    if (keep > width)
        digits.append(static_cast<size_t>(keep - width), '0');
    if (keep < width && significant[static_cast<size_t>(keep)] >= '5') {
        auto digit = digits.rbegin();
        for (; digit != digits.rend() && *digit == '9'; ++digit)
            *digit = '0';
        if (digit == digits.rend())
            digits.insert(digits.begin(), '1');
        else
            ++*digit;
    }
    const auto nonZero = digits.find_first_not_of('0');
    return nonZero == std::string::npos ? "0" : digits.substr(nonZero);
}

QString NonFiniteText(double Value)
{
    if (std::isnan(Value))
        return QStringLiteral("NAN");
    return Value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

QString WithSign(double Value, const std::string &Digits, QString Text)
{
    if (Value < 0 && Digits != "0")
        Text.prepend(QLatin1Char('-'));
    return Text;
}

// The designator of a day-period field as Qt cases it: "AP" and "A" upper case, "ap" and "a"
// lower case, "Ap" and "aP" as the locale writes it.
QString CasedDesignator(const QString &Designator, QChar First, QChar Second)
{
    const bool upper = First == QLatin1Char('A') && Second != QLatin1Char('p');
    const bool lower = First == QLatin1Char('a') && Second != QLatin1Char('P');
    if (upper)
        return Designator.toUpper();
    if (lower)
        return Designator.toLower();
    return Designator;
}

// A day-period field: "AP", "ap", "A", "a", and "B", which some locales' patterns hold for the
// period of the day and Qt does not know.
bool IsDayPeriod(const QString &Part)
{
    return IsField(Part, QLatin1Char('A')) || IsField(Part, QLatin1Char('a')) || IsField(Part, QLatin1Char('B'));
}

// The locale's long time. Formatted in the C locale, Qt would write the English designators: the
// locale's own are put in instead, and with them the hour fields, which Qt writes on the 12-hour
// clock only beside a designator field. Each part is written on its own, so that a designator
// beside a quoted text never makes a doubled quote of their two quotes.
QString LongTimeText(const TLocaleFormats &Formats, const QTime &Time)
{
    QStringList parts = SplitPattern(Formats.LongTimeFormat);
    if (std::none_of(parts.cbegin(), parts.cend(), IsDayPeriod))
        return QLocale::c().toString(Time, Formats.LongTimeFormat);
    const int hour = Time.hour() % 12 == 0 ? 12 : Time.hour() % 12;
    const QString &designator = Time.hour() < 12 ? Formats.AmText : Formats.PmText;
    QString text;
    for (qsizetype index = 0; index < parts.size(); ++index) {
        const QString &part = parts.at(index);
        if (part == QLatin1String("h")) {
            text += QString::number(hour);
        } else if (part == QLatin1String("hh")) {
            text += QString::number(hour).rightJustified(2, QLatin1Char('0'));
        } else if (IsDayPeriod(part)) {
            QChar second;
            if (index + 1 < parts.size() && parts.at(index + 1).compare(QLatin1String("p"), Qt::CaseInsensitive) == 0)
                second = parts.at(++index).at(0);
            text += IsField(part, QLatin1Char('B')) ? designator : CasedDesignator(designator, part.at(0), second);
        } else {
            text += QLocale::c().toString(Time, part);
        }
    }
    return text;
}

QString TimeText(const TLocaleFormats &Formats, const QTime &Time, bool Seconds)
{
    const QString separator = QuotedLiteral(QString(Formats.TimeSeparator));
    QString pattern = QStringLiteral("HH") + separator + QStringLiteral("mm");
    if (Seconds)
        pattern += separator + QStringLiteral("ss");
    return QLocale::c().toString(Time, pattern);
}

}   // namespace

TLocaleFormats TLocaleFormats::FromLocale(const QLocale &Locale)
{
    TLocaleFormats formats;
    formats.DecimalSeparator = FirstCharOr(Locale.decimalPoint(), formats.DecimalSeparator);
    formats.ThousandSeparator = FirstCharOr(Locale.groupSeparator(), formats.ThousandSeparator);
    formats.ShortDateFormat = WidenYear(Locale.dateFormat(QLocale::ShortFormat));
    formats.LongTimeFormat = WithoutZone(Locale.timeFormat(QLocale::LongFormat));
    formats.DateSeparator = FirstSeparator(formats.ShortDateFormat, formats.DateSeparator);
    formats.TimeSeparator = FirstSeparator(formats.LongTimeFormat, formats.TimeSeparator);
    // Standalone names are the ones a month shows on its own ("Mär 2017", not "März 2017").
    for (int month = 1; month <= 12; ++month)
        formats.ShortMonthNames.append(Locale.standaloneMonthName(month, QLocale::ShortFormat));
    formats.AmText = Locale.amText();
    formats.PmText = Locale.pmText();
    return formats;
}

void AppendFixed(std::string &Out, const TLocaleFormats &Formats, double Value, int Decimals)
{
    if (!std::isfinite(Value)) {
        Out += NonFiniteText(Value).toStdString();
        return;
    }
    Decimals = std::max(Decimals, 0);
    char buffer[24];
    std::string careful;
    const char *digits = buffer;
    const char *end = QuickRoundedDigits(std::fabs(Value), Decimals, buffer);
    if (!end) {
        careful = RoundedDigits(std::fabs(Value), Decimals);
        digits = careful.data();
        end = digits + careful.size();
    }
    const std::ptrdiff_t count = end - digits;
    if (Value < 0 && !(count == 1 && digits[0] == '0'))
        Out += '-';
    const std::ptrdiff_t whole = count - Decimals;
    if (whole > 0)
        Out.append(digits, static_cast<std::size_t>(whole));
    else
        Out += '0';
    if (Decimals == 0)
        return;
    if (Formats.DecimalSeparator.unicode() < 0x80)
        Out += static_cast<char>(Formats.DecimalSeparator.unicode());
    else
        Out += QString(Formats.DecimalSeparator).toStdString();
    if (whole < 0)
        Out.append(static_cast<std::size_t>(-whole), '0');
    Out.append(digits + std::max<std::ptrdiff_t>(whole, 0), end);
}

QString FormatFixed(const TLocaleFormats &Formats, double Value, int Decimals)
{
    std::string text;
    AppendFixed(text, Formats, Value, Decimals);
    return QString::fromStdString(text);
}

QString FormatThousands(const TLocaleFormats &Formats, double Value)
{
    if (!std::isfinite(Value))
        return NonFiniteText(Value);
    const std::string digits = RoundedDigits(std::fabs(Value), 0);
    QString text = QString::fromLatin1(digits.data(), static_cast<qsizetype>(digits.size()));
    for (qsizetype position = text.size() - 3; position > 0; position -= 3)
        text.insert(position, Formats.ThousandSeparator);
    return WithSign(Value, digits, text);
}

QString FormatPadded(int Value, int Width)
{
    return QString::number(Value).rightJustified(Width, QLatin1Char(' '));
}

QString FormatShortDate(const TLocaleFormats &Formats, const QDate &Date)
{
    return QLocale::c().toString(Date, Formats.ShortDateFormat);
}

QString FormatLongTime(const TLocaleFormats &Formats, const QTime &Time)
{
    return LongTimeText(Formats, Time);
}

QString FormatDateTime(const TLocaleFormats &Formats, const QString &Pattern, TDateTime Value)
{
    // Date and time are formatted apart: a wall-clock time inside a daylight-saving gap makes the
    // combined QDateTime invalid, while its date and time of day are still the ones to show.
    const QDateTime moment = DateTimeToQt(Value);
    const QDate date = moment.date();
    const QTime time = moment.time();
    const QLocale c = QLocale::c();

    if (Pattern == QLatin1String("c")) {
        QString text = FormatShortDate(Formats, date);
        if (time != QTime(0, 0))
            text += QLatin1Char(' ') + FormatLongTime(Formats, time);
        return text;
    }
    if (Pattern == QLatin1String("ddddd"))
        return c.toString(date, Formats.ShortDateFormat);
    if (Pattern == QLatin1String("yyyy"))
        return c.toString(date, QStringLiteral("yyyy"));
    if (Pattern == QLatin1String("mmm"))
        return MonthName(Formats, date.month());
    if (Pattern == QLatin1String("mmm yyyy"))
        return MonthName(Formats, date.month()) + QLatin1Char(' ') + c.toString(date, QStringLiteral("yyyy"));
    if (Pattern == QLatin1String("hh:nn"))
        return TimeText(Formats, time, false);
    if (Pattern == QLatin1String("hh:nn:ss"))
        return TimeText(Formats, time, true);
    if (Pattern == QLatin1String("dd/MM/yyyy")) {
        const QString separator = QuotedLiteral(QString(Formats.DateSeparator));
        return c.toString(date, QStringLiteral("dd") + separator + QStringLiteral("MM") + separator + QStringLiteral("yyyy"));
    }
    throw std::invalid_argument("Unknown date-time pattern \"" + Pattern.toStdString() + "\"");
}
