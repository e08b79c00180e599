#include "Fixtures.h"
#include "core/LocaleFormats.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

// German settings with other separators, to show that they come from the value.
TLocaleFormats DashesAndDots()
{
    TLocaleFormats formats = DeDe();
    formats.DateSeparator = QLatin1Char('-');
    formats.TimeSeparator = QLatin1Char('.');
    return formats;
}

// 2017-04-07 as a day number; times of day are added as fractions.
constexpr TDateTime April7 = 42832.0;
constexpr double Hour = 1.0 / 24;

}   // namespace

TEST(LocaleFormats, FromLocaleTakesSeparatorsFourDigitYearsZonelessTimesAndMonthNames)
{
    struct Case {
        const char *Locale;
        QChar Decimal, Thousand, Date, Time;
        QString ShortDate, LongTime, January, March, April;
    };
    const std::vector<Case> cases = {
        {"en_GB", '.', ',', '/', ':', "dd/MM/yyyy", "HH:mm:ss", "Jan", "Mar", "Apr"},
        {"en_US", '.', ',', '/', ':', "M/d/yyyy", "h:mm:ss AP", "Jan", "Mar", "Apr"},
        {"de_DE", ',', '.', '.', ':', "dd.MM.yyyy", "HH:mm:ss", "Jan", QStringLiteral("Mär"), "Apr"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Locale);
        const TLocaleFormats formats = TLocaleFormats::FromLocale(QLocale(QString::fromLatin1(c.Locale)));
        EXPECT_EQ(formats.DecimalSeparator, c.Decimal);
        EXPECT_EQ(formats.ThousandSeparator, c.Thousand);
        EXPECT_EQ(formats.DateSeparator, c.Date);
        EXPECT_EQ(formats.TimeSeparator, c.Time);
        EXPECT_EQ(formats.ShortDateFormat, c.ShortDate);
        EXPECT_EQ(formats.LongTimeFormat, c.LongTime);
        ASSERT_EQ(formats.ShortMonthNames.size(), 12);
        EXPECT_EQ(formats.ShortMonthNames.at(0), c.January);
        EXPECT_EQ(formats.ShortMonthNames.at(2), c.March);
        EXPECT_EQ(formats.ShortMonthNames.at(3), c.April);
    }

    // Time patterns whose zone field leads, or whose fields are not divided by colons.
    struct TimeCase {
        const char *Locale;
        QString LongTime;
        QChar Time;
    };
    const std::vector<TimeCase> timeCases = {
        {"zh_CN", "HH:mm:ss", ':'},
        {"fi_FI", "H.mm.ss", '.'},
    };
    for (const TimeCase &c : timeCases) {
        SCOPED_TRACE(c.Locale);
        const TLocaleFormats formats = TLocaleFormats::FromLocale(QLocale(QString::fromLatin1(c.Locale)));
        EXPECT_EQ(formats.LongTimeFormat, c.LongTime);
        EXPECT_EQ(formats.TimeSeparator, c.Time);
    }
}

TEST(LocaleFormats, FixedRoundsHalfAwayFromZeroOnTheDecimalReading)
{
    struct Case {
        double Value;
        int Decimals;
        const char *English, *German;
    };
    const std::vector<Case> cases = {
        {45.25, 1, "45.3", "45,3"},
        {45.25, 0, "45", "45"},
        {310.0, 1, "310.0", "310,0"},
        {63.75, 1, "63.8", "63,8"},
        {2.25, 1, "2.3", "2,3"},
        {45.9375, 1, "45.9", "45,9"},
        {12.25, 2, "12.25", "12,25"},
        {-2.5, 0, "-3", "-3"},
        {0.5, 0, "1", "1"},
        {44.0, 1, "44.0", "44,0"},
        {0.0, 2, "0.00", "0,00"},
        // the double nearest 1.005 lies below it; its 15-digit reading does not
        {1.005, 2, "1.01", "1,01"},
        {-1.005, 2, "-1.01", "-1,01"},
        // floats widened to double
        {0.15f, 1, "0.2", "0,2"},
        {-0.01f, 2, "-0.01", "-0,01"},
        // a carry across the decimal separator and into a new digit
        {9.96, 1, "10.0", "10,0"},
        {0.06, 1, "0.1", "0,1"},
        {0.05, 2, "0.05", "0,05"},
        {1e-20, 2, "0.00", "0,00"},
        // negative values that round to zero carry no minus
        {-0.04, 1, "0.0", "0,0"},
        {-0.0, 1, "0.0", "0,0"},
        {-0.4, 0, "0", "0"},
        // no thousands separators
        {1234567.891, 2, "1234567.89", "1234567,89"},
        {1e16, 0, "10000000000000000", "10000000000000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Value << " with " << c.Decimals);
        EXPECT_EQ(FormatFixed(EnGb(), c.Value, c.Decimals), QString::fromLatin1(c.English));
        EXPECT_EQ(FormatFixed(DeDe(), c.Value, c.Decimals), QString::fromLatin1(c.German));
    }
}

TEST(LocaleFormats, ThousandsRoundsToWholeNumbersAndGroupsByThree)
{
    struct Case {
        double Value;
        const char *English, *German;
    };
    const std::vector<Case> cases = {
        {12345, "12,345", "12.345"},
        {-2, "-2", "-2"},
        {999, "999", "999"},
        {1000, "1,000", "1.000"},
        {100000, "100,000", "100.000"},
        {-1234567, "-1,234,567", "-1.234.567"},
        {0, "0", "0"},
        {999.5, "1,000", "1.000"},
        {123456.5, "123,457", "123.457"},
        {-0.4, "0", "0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Value);
        EXPECT_EQ(FormatThousands(EnGb(), c.Value), QString::fromLatin1(c.English));
        EXPECT_EQ(FormatThousands(DeDe(), c.Value), QString::fromLatin1(c.German));
    }
}

TEST(LocaleFormats, PaddedRightAlignsWithoutCutting)
{
    struct Case {
        int Value, Width;
        const char *Expected;
    };
    const std::vector<Case> cases = {
        {634, 4, " 634"},
        {1709, 4, "1709"},
        {-5, 4, "  -5"},
        {12345, 4, "12345"},
        {0, 4, "   0"},
        {-1234, 4, "-1234"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Value);
        EXPECT_EQ(FormatPadded(c.Value, c.Width), QString::fromLatin1(c.Expected));
    }
}

TEST(LocaleFormats, DateTimePatternsFollowTheLocale)
{
    struct Case {
        const char *Name;
        TLocaleFormats Formats;
        const char *Pattern;
        TDateTime Value;
        QString Expected;
    };
    const std::vector<Case> cases = {
        {"en-GB", EnGb(), "c", April7 + 12 * Hour, "07/04/2017 12:00:00"},
        {"en-US", EnUs(), "c", April7 + 12 * Hour, "4/7/2017 12:00:00 PM"},
        {"en-US", EnUs(), "c", April7 + 18 * Hour, "4/7/2017 6:00:00 PM"},
        {"de-DE", DeDe(), "c", April7 + 12 * Hour, "07.04.2017 12:00:00"},
        // the time goes only at exactly midnight
        {"en-GB", EnGb(), "c", April7, "07/04/2017"},
        {"en-US", EnUs(), "c", April7, "4/7/2017"},
        {"en-GB", EnGb(), "c", April7 + 1 / MSecsPerDay, "07/04/2017 00:00:00"},
        // a hair before midnight reads as the next midnight, without a time
        {"en-GB", EnGb(), "c", April7 + 0.99999999999, "08/04/2017"},
        {"en-GB", EnGb(), "ddddd", April7 + 12 * Hour, "07/04/2017"},
        {"en-US", EnUs(), "ddddd", April7 + 18 * Hour, "4/7/2017"},
        {"de-DE", DeDe(), "ddddd", April7 + 12 * Hour, "07.04.2017"},
        {"en-GB", EnGb(), "yyyy", April7 + 12 * Hour, "2017"},
        {"en-GB", EnGb(), "mmm yyyy", April7 + 12 * Hour, "Apr 2017"},
        {"de-DE", DeDe(), "mmm yyyy", April7 - 31, QStringLiteral("Mär 2017")},
        {"en-US", EnUs(), "mmm yyyy", April7 - 97 + 23 * Hour, "Dec 2016"},
        {"en-GB", EnGb(), "mmm", April7 + 12 * Hour, "Apr"},
        {"de-DE", DeDe(), "mmm", April7 - 31, QStringLiteral("Mär")},
        // 24-hour clock whatever the locale's long time
        {"en-GB", EnGb(), "hh:nn", April7 + 18 * Hour, "18:00"},
        {"en-US", EnUs(), "hh:nn", April7 + 18 * Hour, "18:00"},
        {"en-GB", EnGb(), "hh:nn:ss", April7 + (9 * 3600 + 5 * 60 + 7) / 86400.0, "09:05:07"},
        // 10:00:00 less a fraction of a millisecond rounds to the millisecond
        {"en-GB", EnGb(), "hh:nn:ss", 42832.416666666664, "10:00:00"},
        {"dashes and dots", DashesAndDots(), "hh:nn", April7 + 18 * Hour, "18.00"},
        {"dashes and dots", DashesAndDots(), "hh:nn:ss", April7 + 18 * Hour, "18.00.00"},
        {"en-GB", EnGb(), "dd/MM/yyyy", April7, "07/04/2017"},
        {"en-US", EnUs(), "dd/MM/yyyy", April7, "07/04/2017"},
        {"de-DE", DeDe(), "dd/MM/yyyy", April7, "07.04.2017"},
        {"dashes and dots", DashesAndDots(), "dd/MM/yyyy", April7, "07-04-2017"},
        // 2017-03-26 02:30 does not exist on the tests' Zurich clock; the heater still says so
        {"en-GB", EnGb(), "c", April7 - 12 + 2.5 * Hour, "26/03/2017 02:30:00"},
        {"en-GB", EnGb(), "hh:nn", April7 - 12 + 2.5 * Hour, "02:30"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Name << " \"" << c.Pattern << "\" " << c.Value);
        EXPECT_EQ(FormatDateTime(c.Formats, QString::fromLatin1(c.Pattern), c.Value), c.Expected);
    }
}

// The designators are the locale's own, cased as the pattern's field asks, beside hours on the
// 12-hour clock; quoted text that looks like a field stays as it is.
TEST(LocaleFormats, TwelveHourTimesUseTheLocalesDesignators)
{
    const struct {
        const char *LongTime;
        QString Am, Pm;
        TDateTime Value;
        QString Expected;
    } cases[] = {
        {"AP h:mm:ss", QStringLiteral("오전"), QStringLiteral("오후"), April7 + 13 * Hour + 5.0 / 1440,
         QStringLiteral("4/7/2017 오후 1:05:00")},
        {"AP h:mm:ss", QStringLiteral("오전"), QStringLiteral("오후"), April7 + 0.5 * Hour,
         QStringLiteral("4/7/2017 오전 12:30:00")},
        {"hh:mm:ss ap", "a.m.", "p.m.", April7 + 13 * Hour, "4/7/2017 01:00:00 p.m."},
        {"hh:mm:ss AP", "a.m.", "p.m.", April7 + 13 * Hour, "4/7/2017 01:00:00 P.M."},
        {"h:mm:ss Ap", "a.m.", "p.m.", April7 + 11 * Hour, "4/7/2017 11:00:00 a.m."},
        {"h:mm:ss 'h' a", "vorm.", "nachm.", April7 + 23 * Hour, "4/7/2017 11:00:00 h nachm."},
        {"H:mm:ss", "vorm.", "nachm.", April7 + 23 * Hour, "4/7/2017 23:00:00"},
        // A designator beside the hour, or as the period of the day "B", with a zone in brackets.
        {"APh:mm:ss", QStringLiteral("上午"), QStringLiteral("下午"), April7 + 14 * Hour, QStringLiteral("4/7/2017 下午2:00:00")},
        {"Bh:mm:ss", QStringLiteral("上午"), QStringLiteral("下午"), April7 + 9 * Hour, QStringLiteral("4/7/2017 上午9:00:00")},
        {"'o''clock' h:mm:ss AP", "AM", "PM", April7 + 9 * Hour, "4/7/2017 o'clock 9:00:00 AM"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.LongTime);
        TLocaleFormats formats = EnUs();
        formats.LongTimeFormat = QString::fromUtf8(c.LongTime);
        formats.AmText = c.Am;
        formats.PmText = c.Pm;
        EXPECT_EQ(FormatDateTime(formats, QStringLiteral("c"), c.Value), c.Expected);
    }

    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    const TLocaleFormats formats = TLocaleFormats::FromLocale(korean);
    EXPECT_EQ(formats.AmText, korean.amText());
    EXPECT_EQ(formats.PmText, korean.pmText());
    EXPECT_TRUE(FormatDateTime(formats, QStringLiteral("c"), April7 + 18 * Hour).contains(korean.pmText()));
    // Taiwan's long time holds "B" and its zone in brackets.
    const TLocaleFormats taiwan = TLocaleFormats::FromLocale(QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan));
    EXPECT_EQ(FormatDateTime(taiwan, QStringLiteral("c"), April7 + 14 * Hour), QStringLiteral("2017/4/7 下午2:00:00"));
}

TEST(LocaleFormats, DateTimeRejectsUnknownPatternsByName)
{
    for (const char *pattern : {"", "hh-nn", "dd.mm.yyyy", "C"}) {
        SCOPED_TRACE(pattern);
        try {
            FormatDateTime(EnGb(), QString::fromLatin1(pattern), April7);
            ADD_FAILURE() << "no exception";
        } catch (const std::invalid_argument &error) {
            EXPECT_THAT(error.what(), testing::HasSubstr(std::string("\"") + pattern + "\""));
        }
    }
}

TEST(LocaleFormats, FormattingIgnoresTheProcessDefaultLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const QString date = FormatDateTime(EnUs(), QStringLiteral("c"), April7 + 18 * Hour);
    const QString month = FormatDateTime(EnGb(), QStringLiteral("mmm yyyy"), April7);
    const QString number = FormatFixed(EnGb(), 2.25, 1);
    QLocale::setDefault(previous);

    EXPECT_EQ(date, QStringLiteral("4/7/2017 6:00:00 PM"));
    EXPECT_EQ(month, QStringLiteral("Apr 2017"));
    EXPECT_EQ(number, QStringLiteral("2.3"));
}
