#include "core/IntegerText.h"

#include <stdexcept>

namespace {

constexpr int MaxHexDigits = 8;

int HexDigit(QChar C)
{
    const char16_t c = C.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The length of the hexadecimal prefix at Pos, or 0.
qsizetype HexPrefix(const QString &Text, qsizetype Pos)
{
    const QStringView rest = QStringView(Text).mid(Pos);
    if (rest.startsWith(u"0x") || rest.startsWith(u"0X"))
        return 2;
    if (rest.startsWith(u'$') || rest.startsWith(u'x') || rest.startsWith(u'X'))
        return 1;
    return 0;
}

std::optional<std::uint32_t> HexValue(QStringView Digits)
{
    if (Digits.isEmpty() || Digits.size() > MaxHexDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    for (QChar c : Digits) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

// The magnitude of a decimal number up to 2^31, which only a negative number may reach.
std::optional<std::int64_t> DecimalValue(QStringView Digits)
{
    if (Digits.isEmpty())
        return std::nullopt;
    std::int64_t value = 0;
    for (QChar c : Digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    return value;
}

}

std::optional<std::int32_t> ParseInteger(const QString &Text)
{
    qsizetype pos = 0;
    while (pos < Text.size() && (Text.at(pos) == u' ' || Text.at(pos) == u'\t'))
        ++pos;
    bool negative = false;
    if (pos < Text.size() && (Text.at(pos) == u'+' || Text.at(pos) == u'-')) {
        negative = Text.at(pos) == u'-';
        ++pos;
    }
    if (const qsizetype prefix = HexPrefix(Text, pos)) {
        const std::optional<std::uint32_t> pattern = HexValue(QStringView(Text).mid(pos + prefix));
        if (!pattern)
            return std::nullopt;
        const auto value = static_cast<std::int32_t>(*pattern);
        return negative ? static_cast<std::int32_t>(0u - *pattern) : value;
    }
    const std::optional<std::int64_t> magnitude = DecimalValue(QStringView(Text).mid(pos));
    if (!magnitude)
        return std::nullopt;
    const std::int64_t value = negative ? -*magnitude : *magnitude;
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToInt(const QString &Text)
{
    const std::optional<std::int32_t> value = ParseInteger(Text);
    if (!value)
        throw std::invalid_argument(QStringLiteral("'%1' is not a valid integer value").arg(Text).toStdString());
    return *value;
}

std::int32_t StrToIntDef(const QString &Text, std::int32_t Default)
{
    return ParseInteger(Text).value_or(Default);
}
