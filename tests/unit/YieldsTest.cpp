#include "Fixtures.h"
#include "history/EnergyReport.h"
#include "history/Yields.h"
#include "history/YieldsTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using TWh = std::optional<std::int64_t>;
constexpr TWh Gap = std::nullopt;

QDate Date(const char *Iso)
{
    return QDate::fromString(QString::fromLatin1(Iso), Qt::ISODate);
}

TDateTime At(const char *Iso, double Hours)
{
    return DayStart(Date(Iso)) + Hours / 24;
}

std::vector<TDayEnergy> Days(std::initializer_list<std::pair<const char *, std::int64_t>> Items)
{
    std::vector<TDayEnergy> days;
    for (const auto &[iso, wh] : Items)
        days.push_back({Date(iso), wh});
    return days;
}

TYieldSpan Span(const char *First, const char *Last, const char *Today)
{
    return {Date(First), Date(Last), Date(Today)};
}

std::string Text(const TYieldPeriod &Period)
{
    const char *levels[] = {"days", "months", "years"};
    return std::string(levels[static_cast<int>(Period.Level)]) + " " + std::to_string(Period.Year) + "-"
           + std::to_string(Period.Month);
}

// The bars' values in order, and one list of the values a year earlier.
std::vector<TWh> Values(const TYields &Yields, bool Earlier)
{
    std::vector<TWh> values;
    for (const TYieldBar &bar : Yields.Bars)
        values.push_back(Earlier ? bar.EarlierWh : bar.Wh);
    return values;
}

// A list of Count gaps with the values given at their places (1 for the first bar).
std::vector<TWh> Bars(int Count, std::initializer_list<std::pair<int, std::int64_t>> Values)
{
    std::vector<TWh> bars(static_cast<std::size_t>(Count), Gap);
    for (const auto &[place, wh] : Values)
        bars[static_cast<std::size_t>(place - 1)] = wh;
    return bars;
}

}

// The day's energy of samples as the archive gives them back, sorted and each time stamp once:
// the counter's rule within a day, and each day starting anew at midnight.
TEST(YieldDays, EachDayTakesItsCounterByTheOneRule)
{
    const struct {
        const char *Name;
        std::vector<std::pair<TDateTime, int>> Readings;
        std::vector<TDayEnergy> Expected;
    } cases[] = {
        {"a day with one sample", {{At("2017-03-01", 12), 1234}}, Days({{"2017-03-01", 1234}})},
        {"a glitch is ignored",
         {{At("2017-03-01", 10), 3000}, {At("2017-03-01", 11), 0}, {At("2017-03-01", 12), 3010}},
         Days({{"2017-03-01", 3010}})},
        {"a restart adds the runs",
         {{At("2017-03-01", 10), 3000}, {At("2017-03-01", 11), 0}, {At("2017-03-01", 12), 500}},
         Days({{"2017-03-01", 3500}})},
        {"midnight starts the counter again, no restart",
         {{At("2017-03-01", 23.9), 5000}, {At("2017-03-02", 0.1), 0}, {At("2017-03-02", 0.2), 0},
          {At("2017-03-02", 12), 700}},
         Days({{"2017-03-01", 5000}, {"2017-03-02", 700}})},
        {"a glitch just after midnight is the new day's first reading",
         {{At("2017-03-01", 23), 5000}, {At("2017-03-02", 0.1), 20}, {At("2017-03-02", 12), 700}},
         Days({{"2017-03-01", 5000}, {"2017-03-02", 700}})},
        // The second read-out brought the morning again and the afternoon that came since:
        // the day is the union, each time stamp once.
        {"a day from two read-outs",
         {{At("2017-03-01", 8), 100}, {At("2017-03-01", 12), 900}, {At("2017-03-01", 12), 900},
          {At("2017-03-01", 8), 100}, {At("2017-03-01", 16), 1500}},
         Days({{"2017-03-01", 1500}})},
        {"days without samples are not there",
         {{At("2017-03-01", 12), 10}, {At("2017-03-04", 12), 40}},
         Days({{"2017-03-01", 10}, {"2017-03-04", 40}})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        THistoryList list;
        for (const auto &[dt, wh] : c.Readings) {
            THistoryData s;
            s.DT = dt;
            s.Energy = wh;
            list.Add(s);
        }
        list.Sort();
        const std::vector<TDayEnergy> days = MakeEnergyReport(list).Days;
        ASSERT_EQ(days.size(), c.Expected.size());
        for (std::size_t i = 0; i < days.size(); ++i) {
            EXPECT_EQ(days[i].Day, c.Expected[i].Day) << i;
            EXPECT_EQ(days[i].EnergyWh, c.Expected[i].EnergyWh) << i;
        }
    }
}

// Every level: the bars with their gaps, the bars a year earlier, the total with the missing
// days, the best day and the comparison with the same days a year earlier.
TEST(Yields, BarsTotalsAndTheYearBefore)
{
    const struct {
        const char *Name;
        TYieldPeriod Period;
        TYieldSpan Span;
        std::vector<TDayEnergy> Days;
        std::vector<TWh> Bars, Earlier;
        std::int64_t Total;
        int Missing;
        TDayEnergy Best;
        TWh EarlierTotal;
        std::optional<double> Change;
    } cases[] = {
        {"the days of the month in progress, against the same days a year earlier",
         {TYieldLevel::Days, 2017, 3},
         Span("2016-01-10", "2017-03-29", "2017-03-30"),
         Days({{"2016-03-01", 1000}, {"2016-03-15", 2000}, {"2016-03-31", 3000}, {"2017-03-01", 1500},
               {"2017-03-02", 0}, {"2017-03-15", 2500}, {"2017-03-29", 400}}),
         Bars(31, {{1, 1500}, {2, 0}, {15, 2500}, {29, 400}}),
         Bars(31, {{1, 1000}, {15, 2000}, {31, 3000}}),
         4400, 26, {Date("2017-03-15"), 2500}, 3000, 4400.0 * 100 / 3000 - 100},
        {"a leap day a year earlier counts towards its month and stands beside no day",
         {TYieldLevel::Days, 2017, 2},
         Span("2016-01-10", "2017-03-29", "2017-03-30"),
         Days({{"2016-02-28", 800}, {"2016-02-29", 200}, {"2017-02-28", 500}}),
         Bars(28, {{28, 500}}),
         Bars(28, {{28, 800}}),
         500, 27, {Date("2017-02-28"), 500}, 1000, -50.0},
        {"the month the heater came, counted from its first day",
         {TYieldLevel::Days, 2016, 1},
         Span("2016-01-10", "2017-03-29", "2017-03-30"),
         Days({{"2016-01-10", 100}, {"2016-01-11", 300}, {"2016-01-31", 300}}),
         Bars(31, {{10, 100}, {11, 300}, {31, 300}}),
         Bars(31, {}),
         700, 19, {Date("2016-01-11"), 300}, Gap, std::nullopt},
        {"the months of a year in progress, a leap February a year earlier",
         {TYieldLevel::Months, 2017, 0},
         Span("2016-01-10", "2017-03-29", "2017-03-30"),
         Days({{"2016-02-10", 300}, {"2016-02-29", 700}, {"2016-12-31", 900}, {"2017-01-05", 200},
               {"2017-02-28", 1000}}),
         Bars(12, {{1, 200}, {2, 1000}}),
         Bars(12, {{2, 1000}, {12, 900}}),
         1200, 87, {Date("2017-02-28"), 1000}, 1000, 20.0},
        {"a year before the heater has no comparison",
         {TYieldLevel::Months, 2016, 0},
         Span("2016-01-10", "2017-03-29", "2017-03-30"),
         Days({{"2016-01-10", 50}, {"2016-12-31", 60}}),
         Bars(12, {{1, 50}, {12, 60}}),
         Bars(12, {}),
         110, 357 - 2, {Date("2016-12-31"), 60}, Gap, std::nullopt},
        {"the years, each beside the one before",
         {TYieldLevel::Years, 0, 0},
         Span("2015-06-01", "2017-03-29", "2017-03-30"),
         Days({{"2015-06-01", 100}, {"2016-07-01", 300}, {"2016-07-02", 200}, {"2017-03-29", 50}}),
         Bars(3, {{1, 100}, {2, 500}, {3, 50}}),
         Bars(3, {{2, 100}, {3, 500}}),
         650, 669 - 4, {Date("2016-07-01"), 300}, Gap, std::nullopt},
        {"equal best days: the first",
         {TYieldLevel::Days, 2017, 3},
         Span("2017-03-01", "2017-03-31", "2017-04-02"),
         Days({{"2017-03-03", 70}, {"2017-03-05", 90}, {"2017-03-09", 90}}),
         Bars(31, {{3, 70}, {5, 90}, {9, 90}}),
         Bars(31, {}),
         250, 28, {Date("2017-03-05"), 90}, Gap, std::nullopt},
        {"a year earlier with nothing but zero days: no change in per cent",
         {TYieldLevel::Days, 2017, 3},
         Span("2016-03-01", "2017-03-31", "2017-04-02"),
         Days({{"2016-03-01", 0}, {"2017-03-01", 90}}),
         Bars(31, {{1, 90}}),
         Bars(31, {{1, 0}}),
         90, 30, {Date("2017-03-01"), 90}, 0, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const TYields yields = MakeYields(c.Period, c.Span, c.Days);
        EXPECT_EQ(yields.Period, c.Period);
        EXPECT_EQ(Values(yields, false), c.Bars);
        EXPECT_EQ(Values(yields, true), c.Earlier);
        EXPECT_EQ(yields.TotalWh, c.Total);
        EXPECT_EQ(yields.MissingDays, c.Missing);
        ASSERT_TRUE(yields.BestDay.has_value());
        EXPECT_EQ(yields.BestDay->Day, c.Best.Day);
        EXPECT_EQ(yields.BestDay->EnergyWh, c.Best.EnergyWh);
        EXPECT_EQ(yields.EarlierWh, c.EarlierTotal);
        ASSERT_EQ(yields.ChangePercent.has_value(), c.Change.has_value());
        if (c.Change) {
            EXPECT_NEAR(*yields.ChangePercent, *c.Change, 1e-9);
        }
    }
}

// Each bar's start, and its change against the bar a year earlier where both have days.
TEST(Yields, BarsStartAtTheirDayMonthOrYearAndCompareOneByOne)
{
    const TYieldSpan span = Span("2015-06-01", "2017-03-29", "2017-03-30");
    const TYields months = MakeYields({TYieldLevel::Months, 2017, 0}, span,
                                      Days({{"2016-01-02", 400}, {"2016-02-02", 100}, {"2017-01-02", 500}, {"2017-03-02", 9}}));
    ASSERT_EQ(months.Bars.size(), 12U);
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(months.Bars[static_cast<std::size_t>(m - 1)].Start, QDate(2017, m, 1));
    }
    EXPECT_EQ(months.Bars[0].ChangePercent, 25.0);
    EXPECT_EQ(months.Bars[1].ChangePercent, std::nullopt);   // nothing this February
    EXPECT_EQ(months.Bars[2].ChangePercent, std::nullopt);   // nothing a year earlier

    const TYields years = MakeYields({TYieldLevel::Years, 0, 0}, span, Days({{"2015-06-01", 100}, {"2016-07-01", 50}}));
    ASSERT_EQ(years.Bars.size(), 3U);
    EXPECT_EQ(years.Bars[0].Start, QDate(2015, 1, 1));
    EXPECT_EQ(years.Bars[2].Start, QDate(2017, 1, 1));
    EXPECT_EQ(years.Bars[1].ChangePercent, -50.0);

    const TYields days = MakeYields({TYieldLevel::Days, 2016, 2}, span, {});
    ASSERT_EQ(days.Bars.size(), 29U);
    EXPECT_EQ(days.Bars.back().Start, QDate(2016, 2, 29));
    EXPECT_EQ(days.TotalWh, 0);
    EXPECT_EQ(days.MissingDays, 29);
    EXPECT_FALSE(days.BestDay.has_value());
}

// Where a view can go, and which samples it reads.
TEST(Yields, NavigationStaysWithinTheHeatersDaysAndToday)
{
    const TYieldSpan span = Span("2015-06-10", "2017-03-29", "2017-03-30");
    const TYieldPeriod years{TYieldLevel::Years, 0, 0};
    const struct {
        TYieldPeriod Period;
        bool HasPrevious, HasNext;
        TYieldPeriod Previous, Next;
        std::optional<TYieldPeriod> Up;
        TDateRange Dates;
    } cases[] = {
        {{TYieldLevel::Days, 2015, 6}, false, true, {TYieldLevel::Days, 2015, 5}, {TYieldLevel::Days, 2015, 7},
         TYieldPeriod{TYieldLevel::Months, 2015, 0}, {Date("2014-06-01"), Date("2015-06-30")}},
        {{TYieldLevel::Days, 2017, 1}, true, true, {TYieldLevel::Days, 2016, 12}, {TYieldLevel::Days, 2017, 2},
         TYieldPeriod{TYieldLevel::Months, 2017, 0}, {Date("2016-01-01"), Date("2017-01-31")}},
        {{TYieldLevel::Days, 2017, 3}, true, false, {TYieldLevel::Days, 2017, 2}, {TYieldLevel::Days, 2017, 4},
         TYieldPeriod{TYieldLevel::Months, 2017, 0}, {Date("2016-03-01"), Date("2017-03-31")}},
        {{TYieldLevel::Months, 2015, 0}, false, true, {TYieldLevel::Months, 2014, 0}, {TYieldLevel::Months, 2016, 0},
         years, {Date("2014-01-01"), Date("2015-12-31")}},
        {{TYieldLevel::Months, 2017, 0}, true, false, {TYieldLevel::Months, 2016, 0}, {TYieldLevel::Months, 2018, 0},
         years, {Date("2016-01-01"), Date("2017-12-31")}},
        {years, false, false, years, years, std::nullopt, {Date("2015-01-01"), Date("2017-12-31")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(Text(c.Period));
        EXPECT_EQ(HasPrevious(c.Period, span), c.HasPrevious);
        EXPECT_EQ(HasNext(c.Period, span), c.HasNext);
        EXPECT_EQ(Previous(c.Period), c.Previous);
        EXPECT_EQ(Next(c.Period), c.Next);
        EXPECT_EQ(Up(c.Period), c.Up);
        const TDateRange dates = YieldDates(c.Period, span);
        EXPECT_EQ(dates.First, c.Dates.First);
        EXPECT_EQ(dates.Last, c.Dates.Last);
    }
    EXPECT_EQ(StartPeriod(span), (TYieldPeriod{TYieldLevel::Months, 2017, 0}));

    // A click on a bar goes one level down; a day is the lowest.
    const TYieldBar bar{QDate(2016, 4, 1), 5, {}, {}};
    EXPECT_EQ(Down(years, bar), (TYieldPeriod{TYieldLevel::Months, 2016, 0}));
    EXPECT_EQ(Down({TYieldLevel::Months, 2016, 0}, bar), (TYieldPeriod{TYieldLevel::Days, 2016, 4}));
    EXPECT_EQ(Down({TYieldLevel::Days, 2016, 4}, bar), std::nullopt);

    // A heater whose clock ran ahead of this computer's: its newest days stay in reach.
    const TYieldSpan ahead = Span("2015-06-10", "2018-02-03", "2017-03-30");
    EXPECT_TRUE(HasNext({TYieldLevel::Days, 2018, 1}, ahead));
    EXPECT_TRUE(HasNext({TYieldLevel::Months, 2017, 0}, ahead));
    EXPECT_EQ(YieldDates(years, ahead).Last, Date("2018-12-31"));
}

// A day's range in the archive reaches from its first to its last millisecond, also before day
// zero, where the fraction still counts into the day.
TEST(Yields, DayRangeCoversTheWholeDay)
{
    for (const char *iso : {"2017-03-01", "1899-12-30", "1899-12-29", "1800-02-28", "2016-02-29"}) {
        SCOPED_TRACE(iso);
        const QDate day = Date(iso);
        const TDayAndTime start = SplitDateTime(DayStart(day));
        const TDayAndTime end = SplitDateTime(DayEnd(day));
        EXPECT_EQ(DateTimeToQt(DayStart(day)).date(), day);
        EXPECT_EQ(start.MSecs, 0);
        EXPECT_EQ(end.Day, start.Day);
        EXPECT_EQ(end.MSecs, 86399999);
    }
}

// The shown table as the history's CSV is written: a byte order mark, quoted fields, CR LF, the
// locale's dates and decimal separator; empty fields where a bar has no value.
TEST(YieldsCsv, TheShownTableInTheLocalesSeparators)
{
    const TYieldSpan span = Span("2015-06-01", "2017-03-29", "2017-03-30");
    const std::vector<TDayEnergy> days =
        Days({{"2016-01-02", 400}, {"2016-02-02", 100}, {"2016-03-02", 1000}, {"2017-01-02", 500}, {"2017-03-02", 9}});
    const TDateTime written = At("2017-03-30", 10.5);
    const struct {
        const char *Name;
        TLocaleFormats Formats;
        TYieldPeriod Period;
        int Lines;
        QStringList First;
    } cases[] = {
        {"months, English", EnGb(), {TYieldLevel::Months, 2017, 0}, 2 + 12,
         {QStringLiteral("\"30/03/2017 10:30:00\",\"1709-0634\",\"2017\""),
          QStringLiteral("\"Month\",\"Energy [Wh]\",\"A year earlier [Wh]\",\"Change [%]\""),
          QStringLiteral("\"Jan 2017\",\"500\",\"400\",\"25.0\""), QStringLiteral("\"Feb 2017\",\"\",\"100\",\"\""),
          QStringLiteral("\"Mar 2017\",\"9\",\"1000\",\"-99.1\""), QStringLiteral("\"Apr 2017\",\"\",\"\",\"\"")}},
        {"months, German", DeDe(), {TYieldLevel::Months, 2017, 0}, 2 + 12,
         {QStringLiteral("\"30.03.2017 10:30:00\",\"1709-0634\",\"2017\""),
          QStringLiteral("\"Month\",\"Energy [Wh]\",\"A year earlier [Wh]\",\"Change [%]\""),
          QStringLiteral("\"Jan 2017\",\"500\",\"400\",\"25,0\""), QStringLiteral("\"Feb 2017\",\"\",\"100\",\"\""),
          QStringLiteral("\"Mär 2017\",\"9\",\"1000\",\"-99,1\"")}},
        {"days, German", DeDe(), {TYieldLevel::Days, 2017, 3}, 2 + 31,
         {QStringLiteral("\"30.03.2017 10:30:00\",\"1709-0634\",\"Mär 2017\""),
          QStringLiteral("\"Date\",\"Energy [Wh]\",\"A year earlier [Wh]\",\"Change [%]\""),
          QStringLiteral("\"01.03.2017\",\"\",\"\",\"\""), QStringLiteral("\"02.03.2017\",\"9\",\"1000\",\"-99,1\"")}},
        {"years, English", EnGb(), {TYieldLevel::Years, 0, 0}, 2 + 3,
         {QStringLiteral("\"30/03/2017 10:30:00\",\"1709-0634\",\"2015 – 2017\""),
          QStringLiteral("\"Year\",\"Energy [Wh]\",\"A year earlier [Wh]\",\"Change [%]\""),
          QStringLiteral("\"2015\",\"\",\"\",\"\""), QStringLiteral("\"2016\",\"1500\",\"\",\"\""),
          QStringLiteral("\"2017\",\"509\",\"1500\",\"-66.1\"")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray file = YieldsCsv(MakeYields(c.Period, span, days), written, QStringLiteral(" 1709-0634 "), c.Formats);
        ASSERT_TRUE(file.startsWith("\xEF\xBB\xBF"));
        ASSERT_TRUE(file.endsWith("\r\n"));
        const QStringList lines = QString::fromUtf8(file.mid(3)).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.size(), c.Lines + 1);   // after the last CR LF, nothing
        EXPECT_EQ(lines.mid(0, c.First.size()), c.First);
    }
}
