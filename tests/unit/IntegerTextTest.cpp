#include "core/IntegerText.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(IntegerText, AcceptsBlanksSignDecimalAndHexPrefixes)
{
    const struct {
        const char *Text;
        std::int32_t Value;
    } cases[] = {
        {"100", 100},           {"  -42", -42},          {"+7", 7},
        {"$FFF000", 16773120},  {"$FFFFFFFF", -1},       {"0x10", 16},
        {"0X1f", 31},           {"x7fffffff", INT32_MAX}, {"X80000000", INT32_MIN},
        {"-$10", -16},          {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"0", 0},               {"000123", 123},         {"\t5", 5},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseInteger(QString::fromLatin1(c.Text)), c.Value) << c.Text;
}

TEST(IntegerText, RejectsWhatIsNotAWholeInteger)
{
    for (const char *text : {"", " ", "-", "+", "$", "0x", "FFF000", "12 ", "1.5", "1e3", "$123456789",
                             "2147483648", "-2147483649", "--1", "+-1", "$G", "0x-1", "1 2", "ten"})
        EXPECT_FALSE(ParseInteger(QString::fromLatin1(text)).has_value()) << '"' << text << '"';
}

TEST(IntegerText, StrictReadingRaisesWithTheTextAndTheLenientOneFallsBack)
{
    try {
        StrToInt(QStringLiteral("FFF000"));
        FAIL() << "no exception";
    } catch (const std::invalid_argument &Error) {
        EXPECT_STREQ(Error.what(), "'FFF000' is not a valid integer value");
    }
    EXPECT_EQ(StrToInt(QStringLiteral("$FFF000")), 16773120);
    EXPECT_EQ(StrToIntDef(QStringLiteral("abc"), 100), 100);
    EXPECT_EQ(StrToIntDef(QStringLiteral("-5"), 100), -5);
}
