#include "history/ChartTicks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

using ::testing::DoubleNear;
using ::testing::Pointwise;

namespace {

constexpr double Day = 86400;

// The key of a wall-clock date-time, through the same conversion the labels use.
double Key(int Year, int Month, int DayOfMonth, int Hour = 0, int Minute = 0)
{
    return ChartKey(DateTimeFromQt(QDateTime(QDate(Year, Month, DayOfMonth), QTime(Hour, Minute), Qt::UTC)));
}

QDateTime Fields(double Key)
{
    return DateTimeToQt(ChartKeyToDateTime(Key));
}

struct TTicksCase {
    const char *Name;
    TKeyRange Range;
    QString Pattern;
    std::vector<double> Expected;
};

void PrintTo(const TTicksCase &Case, std::ostream *Out)
{
    *Out << Case.Name;
}

class ChartTicksTest : public ::testing::TestWithParam<TTicksCase> {};

}

// The ticks of the range buttons and of a few zoom levels, at the places a reader expects.
TEST_P(ChartTicksTest, StandOnWholeCalendarSteps)
{
    const TTicksCase &c = GetParam();
    // The expected keys come through day-based date-times, a few microseconds off whole seconds.
    EXPECT_THAT(ChartTicks(c.Range, c.Pattern, 5).Keys, Pointwise(DoubleNear(1e-3), c.Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ChartTicksTest,
    ::testing::Values(
        TTicksCase{"Today", {Key(2024, 7, 1), Key(2024, 7, 2)}, QStringLiteral("hh:nn"),
                   {Key(2024, 7, 1), Key(2024, 7, 1, 6), Key(2024, 7, 1, 12), Key(2024, 7, 1, 18), Key(2024, 7, 2)}},
        TTicksCase{"Now",
                   {Key(2024, 7, 1, 12, 0) - 300, Key(2024, 7, 1, 12, 0) + 300},
                   QStringLiteral("hh:nn:ss"),
                   {Key(2024, 7, 1, 11, 54), Key(2024, 7, 1, 11, 56), Key(2024, 7, 1, 11, 58), Key(2024, 7, 1, 12, 0),
                    Key(2024, 7, 1, 12, 2), Key(2024, 7, 1, 12, 4), Key(2024, 7, 1, 12, 6)}},
        // A week of dates: every other midnight, counted from the origin's.
        TTicksCase{"ThisWeek", {Key(2024, 7, 1), Key(2024, 7, 8) - 0.001}, QStringLiteral("ddddd"),
                   {Key(2024, 6, 30), Key(2024, 7, 2), Key(2024, 7, 4), Key(2024, 7, 6), Key(2024, 7, 8)}},
        // A month of dates: Mondays.
        TTicksCase{"ThisMonth", {Key(2024, 7, 1), Key(2024, 8, 1) - 0.001}, QStringLiteral("ddddd"),
                   {Key(2024, 7, 1), Key(2024, 7, 8), Key(2024, 7, 15), Key(2024, 7, 22), Key(2024, 7, 29),
                    Key(2024, 8, 5)}},
        // A label pattern coarser than the range asks for keeps its ticks on its own unit.
        TTicksCase{"DatesOverHours", {Key(2024, 7, 1, 3), Key(2024, 7, 1, 20)}, QStringLiteral("dd/MM/yyyy"),
                   {Key(2024, 7, 1), Key(2024, 7, 2)}},
        TTicksCase{"Months", {Key(2023, 1, 15), Key(2024, 3, 10)}, QStringLiteral("mmm yyyy"),
                   {Key(2023, 1, 1), Key(2023, 4, 1), Key(2023, 7, 1), Key(2023, 10, 1), Key(2024, 1, 1),
                    Key(2024, 4, 1)}},
        TTicksCase{"TwoMonths", {Key(2024, 1, 20), Key(2024, 3, 25)}, QStringLiteral("mmm yyyy"),
                   {Key(2024, 1, 1), Key(2024, 2, 1), Key(2024, 3, 1), Key(2024, 4, 1)}},
        TTicksCase{"Years", {Key(2010, 3, 1), Key(2024, 11, 1)}, QStringLiteral("yyyy"),
                   {Key(2010, 1, 1), Key(2015, 1, 1), Key(2020, 1, 1), Key(2025, 1, 1)}},
        TTicksCase{"BeforeTheOrigin", {Key(1969, 12, 30, 1), Key(1970, 1, 1, 20)}, QStringLiteral("ddddd"),
                   {Key(1969, 12, 30), Key(1969, 12, 31), Key(1970, 1, 1), Key(1970, 1, 2)}}),
    [](const ::testing::TestParamInfo<TTicksCase> &Info) { return std::string(Info.param.Name); });

// Whatever the span, a tick stands where its label says: dates at midnight, months on their
// first, years at New Year; about five steps cover the range, with one tick beyond each end.
TEST(ChartTicks, EveryTickStandsOnItsLabelsUnit)
{
    const double start = Key(2019, 3, 31, 1, 30);
    for (const double span : {600.0, 3600.0, Day, 2.5 * Day, 40 * Day, 75 * Day, 400 * Day, 1200 * Day, 20000 * Day}) {
        const QString pattern = ChartLabelPattern({start, start + span});
        const TChartTicks ticks = ChartTicks({start, start + span}, pattern, 5);
        SCOPED_TRACE(pattern.toStdString() + " over " + std::to_string(span) + " s");
        ASSERT_GE(ticks.Keys.size(), 2U);
        EXPECT_LE(ticks.Keys.size(), 8U);
        EXPECT_LE(ticks.Keys.front(), start);
        EXPECT_GE(ticks.Keys.back(), start + span);
        for (std::size_t i = 0; i < ticks.Keys.size(); ++i) {
            const QDateTime fields = Fields(ticks.Keys[i]);
            if (i > 0) {
                EXPECT_LT(ticks.Keys[i - 1], ticks.Keys[i]);
            }
            EXPECT_EQ(fields.time().msec(), 0);
            const std::string at = fields.toString(Qt::ISODate).toStdString();
            if (pattern != QLatin1String("hh:nn:ss")) {
                EXPECT_EQ(fields.time().second(), 0) << at;
            }
            if (pattern == QLatin1String("ddddd") || pattern.contains(QLatin1String("yyyy"))) {
                EXPECT_EQ(fields.time(), QTime(0, 0)) << at;
            }
            if (pattern.contains(QLatin1String("yyyy"))) {
                EXPECT_EQ(fields.date().day(), 1) << at;
            }
            if (pattern == QLatin1String("yyyy")) {
                EXPECT_EQ(fields.date().month(), 1) << at;
            }
        }
    }
}

TEST(ChartTicks, RangesWithoutACalendarGiveNoTicks)
{
    EXPECT_TRUE(ChartTicks({std::nan(""), 0}, QStringLiteral("ddddd"), 5).Keys.empty());
    EXPECT_TRUE(ChartTicks({1e300, 2e300}, QStringLiteral("yyyy"), 5).Keys.empty());
    // A range zoomed out past the calendar's end is ticked where there is one.
    const TChartTicks huge = ChartTicks({-1e250, 1e250}, QStringLiteral("yyyy"), 5);
    ASSERT_FALSE(huge.Keys.empty());
    EXPECT_LE(huge.Keys.size(), 8U);
    EXPECT_EQ(Fields(huge.Keys.back()).date().month(), 1);
    // Reversed ends are the same range.
    EXPECT_EQ(ChartTicks({Key(2024, 7, 2), Key(2024, 7, 1)}, QStringLiteral("hh:nn"), 5).Keys,
              ChartTicks({Key(2024, 7, 1), Key(2024, 7, 2)}, QStringLiteral("hh:nn"), 5).Keys);
}
