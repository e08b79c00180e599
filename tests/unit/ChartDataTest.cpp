#include "Fixtures.h"
#include "history/ChartData.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <random>
#include <utility>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

namespace {

constexpr TDateTime March1 = 42795.0;   // 2017-03-01
constexpr TDateTime April7 = 42832.0;   // 2017-04-07
constexpr double Hour = 1.0 / 24;

THistoryData Sample(TDateTime DT, int Energy)
{
    THistoryData sample;
    sample.DT = DT;
    sample.Energy = Energy;
    return sample;
}

THistoryList ListOf(const std::vector<THistoryData> &Samples)
{
    THistoryList list;
    for (const THistoryData &sample : Samples)
        list.Add(sample);
    return list;
}

// What the chart draws of a list: every line point, the bars and the title.
struct TChart {
    std::array<TChartSeries, ChartLineCount> Lines;
    TChartSeries Bars;
    QString Title;

    const TChartSeries &Line(TChartLine Which) const { return Lines[static_cast<std::size_t>(Which)]; }
};

TChart Build(const THistoryList &History, float MaxStringPower = 500)
{
    TChartModel model(MaxStringPower);
    model.Sync(History);
    TChart chart;
    for (std::size_t line = 0; line < ChartLineCount; ++line)
        chart.Lines[line] = model.Points(static_cast<TChartLine>(line));
    chart.Bars = model.Bars();
    chart.Title = ChartTitle(History, TLanguage::English, TLocaleFormats{});
    return chart;
}

// The bars as (X, Y) pairs, X in day numbers, to compare whole series at once.
std::vector<std::pair<TDateTime, double>> Bars(const TChart &Chart)
{
    std::vector<std::pair<TDateTime, double>> bars;
    for (std::size_t i = 0; i < Chart.Bars.Keys.size(); ++i)
        bars.emplace_back(ChartKeyToDateTime(Chart.Bars.Keys[i]), Chart.Bars.Values[i]);
    return bars;
}

}   // namespace

TEST(ChartData, ChartKeyCountsUtcSecondsFromTheWallClockFields)
{
    const struct {
        TDateTime DT;
        double Key;
    } cases[] = {
        {25569.0, 0.0},                    // 1970-01-01 00:00
        {April7 + 12 * Hour, 1491566400.0},   // 2017-04-07 12:00
    };
    for (const auto &c : cases) {
        EXPECT_DOUBLE_EQ(ChartKey(c.DT), c.Key) << c.DT;
        EXPECT_DOUBLE_EQ(ChartKeyToDateTime(c.Key), c.DT) << c.Key;
    }
}

TEST(ChartData, EmptyListGivesNoPointsAndKeepsTheTitle)
{
    const TChart chart = Build(THistoryList{});
    for (const TChartSeries &series : chart.Lines) {
        EXPECT_THAT(series.Keys, IsEmpty());
        EXPECT_THAT(series.Values, IsEmpty());
    }
    EXPECT_THAT(chart.Bars.Keys, IsEmpty());
    EXPECT_TRUE(chart.Title.isEmpty());
}

TEST(ChartData, EachSeriesDrawsItsOwnFieldAtTheSampleTime)
{
    THistoryData sample = Sample(April7 + 12 * Hour, 0);
    sample.P1 = 101;
    sample.P2 = 102;
    sample.P3 = 103;
    sample.TW = 45.5f;
    sample.PWM1 = 201;
    sample.PWM2 = 202;
    sample.PWM3 = 203;
    sample.U1 = 31;
    sample.U2 = 32;
    sample.U3 = 33;
    sample.I1 = 9;   // neither currents nor the board temperature are charted
    sample.TB = 28;
    const TChart chart = Build(ListOf({sample}));

    const double expected[ChartLineCount] = {0, 101, 102, 103, 45.5, 201, 202, 203, 31, 32, 33};
    for (std::size_t i = 0; i < ChartLineCount; ++i) {
        EXPECT_THAT(chart.Lines[i].Keys, ElementsAre(1491566400.0)) << "series " << i;
        EXPECT_THAT(chart.Lines[i].Values, ElementsAre(expected[i])) << "series " << i;
    }
    EXPECT_THAT(Bars(chart), ElementsAre(Pair(April7, 0.0)));
}

TEST(ChartData, EachDayGetsOneBarWithItsLastEnergy)
{
    const struct {
        const char *Name;
        std::vector<THistoryData> Samples;
        std::vector<std::pair<TDateTime, double>> Bars;
    } cases[] = {
        {"three days ending at 1500, 0 and 800 Wh; a day ending at 0 gets none",
         {Sample(April7 + 8 * Hour, 200), Sample(April7 + 18 * Hour, 1500), Sample(April7 + 1 + 9 * Hour, 300),
          Sample(April7 + 1 + 23 * Hour, 0), Sample(April7 + 2 + 7 * Hour, 100), Sample(April7 + 2 + 15 * Hour, 800)},
         {{April7, 1500}, {April7 + 2, 800}}},
        {"a new day from its midnight on, and days apart",
         {Sample(April7 + 23 * Hour, 700), Sample(April7 + 1, 10), Sample(April7 + 5 + 0.5 * Hour, 20)},
         {{April7, 700}, {April7 + 1, 10}, {April7 + 5, 20}}},
        {"the first charted day, 2016-01-01, is closed like any other",
         {Sample(42370.0 + 10 * Hour, 100), Sample(42371.0 + 10 * Hour, 50)},
         {{42370.0, 100}, {42371.0, 50}}},
        {"samples before 2016 give no bar and leave the energy untouched",
         {Sample(42369.0 + 23 * Hour, 900), Sample(April7 + 10 * Hour, 400)},
         {{April7, 400}}},
        {"the newest bar stands at the day of the last sample, even an undrawn one",
         {Sample(April7 + 10 * Hour, 300), Sample(42156.0 + 10 * Hour, 900)},   // then 2015-06-01
         {{42156.0, 300}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Bars(Build(ListOf(c.Samples))), c.Bars) << c.Name;
}

TEST(ChartData, OnlySamplesFrom2016OnAreCharted)
{
    const struct {
        TDateTime DT;
        bool Charted;
    } cases[] = {
        {42156.0, false},          // 2015-06-01
        {42370.0 - 0.001, false},  // 2015-12-31 23:58:33.6
        {42370.0 - 1e-10, true},   // reads as 2016-01-01 00:00:00.000
        {42370.0, true},
        {April7, true},
    };
    for (const auto &c : cases) {
        // A charted sample behind the tested one shows that skipping goes on to the next sample.
        const TChart chart = Build(ListOf({Sample(c.DT, 900), Sample(April7 + 12 * Hour, 400)}));
        const std::vector<double> energies = c.Charted ? std::vector<double>{900, 400} : std::vector<double>{400};
        for (const TChartSeries &series : chart.Lines)
            EXPECT_EQ(series.Keys.size(), energies.size()) << c.DT;
        EXPECT_EQ(chart.Line(TChartLine::Energy).Values, energies) << c.DT;
    }
}

TEST(ChartData, StringPowersAreDrawnAtMostAtTheCeiling)
{
    const struct {
        float Ceiling;
        double P1, P2, P3;
    } cases[] = {
        {500, 500, 500, 400},
        {700, 650, 700, 400},
    };
    THistoryData sample = Sample(April7, 0);
    sample.P1 = 650;
    sample.P2 = 720;
    sample.P3 = 400;
    for (const auto &c : cases) {
        const TChart chart = Build(ListOf({sample}), c.Ceiling);
        EXPECT_THAT(chart.Line(TChartLine::P1).Values, ElementsAre(c.P1)) << c.Ceiling;
        EXPECT_THAT(chart.Line(TChartLine::P2).Values, ElementsAre(c.P2)) << c.Ceiling;
        EXPECT_THAT(chart.Line(TChartLine::P3).Values, ElementsAre(c.P3)) << c.Ceiling;
    }
}

TEST(ChartData, TitleNamesTheFirstAndLastSampleDates)
{
    const struct {
        TLanguage Language;
        std::vector<THistoryData> Samples;
        const char *Title;
    } cases[] = {
        {TLanguage::English, {Sample(March1 + 9 * Hour, 0), Sample(March1 + 20, 0), Sample(April7 + 23 * Hour, 0)},
         "Historical data: 01.03.2017 - 07.04.2017"},
        {TLanguage::German, {Sample(April7, 0)}, "Historische Daten: 07.04.2017 - 07.04.2017"},
        // The whole list counts, samples too old to be drawn included.
        {TLanguage::English, {Sample(42156.0, 0), Sample(April7, 0)}, "Historical data: 01.06.2015 - 07.04.2017"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ChartTitle(ListOf(c.Samples), c.Language, DeDe()), QString::fromUtf8(c.Title));
    }
}

namespace {

// A day of live readings every Step seconds from 2017-04-07 06:00, values wandering.
std::vector<THistoryData> LiveDay(int Count, double Step, unsigned Seed)
{
    std::mt19937 random(Seed);
    std::uniform_real_distribution<float> jitter(-5, 5);
    std::vector<THistoryData> samples;
    float level = 200;
    for (int i = 0; i < Count; ++i) {
        level = std::clamp(level + jitter(random), 0.0f, 700.0f);
        THistoryData sample = Sample(April7 + 6 * Hour + i * Step / 86400.0, i);
        sample.P1 = level;
        sample.U1 = level / 10;
        sample.TW = 40 + level / 50;
        samples.push_back(sample);
    }
    return samples;
}

}   // namespace

// Growing the list a little at a time, a sample dated back among them, gives what building the
// chart from the whole list at once gives.
TEST(ChartData, AppendedSamplesChartAsTheWholeListWould)
{
    std::vector<THistoryData> samples = LiveDay(3000, 40, 1);
    samples[2500].DT = samples[100].DT + 1 / 86400.0;   // a clock set back
    THistoryList list;
    TChartModel growing(700);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        list.Add(samples[i]);
        if (i % 97 == 0)
            growing.Sync(list);
    }
    growing.Sync(list);
    TChartModel whole(700);
    whole.Sync(list);
    for (std::size_t line = 0; line < ChartLineCount; ++line) {
        const TChartSeries a = growing.Points(static_cast<TChartLine>(line));
        const TChartSeries b = whole.Points(static_cast<TChartLine>(line));
        EXPECT_EQ(a.Keys, b.Keys) << line;
        EXPECT_EQ(a.Values, b.Values) << line;
    }
    const std::vector<double> keys = growing.Points(TChartLine::P1).Keys;
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_EQ(growing.Bars().Keys, whole.Bars().Keys);
    EXPECT_EQ(growing.Bars().Values, whole.Bars().Values);

    list.Sort();   // a new generation: taken again from the start
    growing.Sync(list);
    EXPECT_EQ(growing.Points(TChartLine::P1).Values, whole.Points(TChartLine::P1).Values);
    list.Clear();
    growing.Sync(list);
    EXPECT_EQ(growing.Count(), 0u);
    EXPECT_THAT(growing.Bars().Keys, IsEmpty());
}

// Per pixel column the reduced line holds the column's first, least, greatest and last value,
// so the chart draws it as it draws every point; few points stay as they are.
TEST(ChartData, ReducedLinesKeepEachColumnsFirstExtremesAndLast)
{
    THistoryList list;
    for (const THistoryData &sample : LiveDay(20000, 1, 2))
        list.Add(sample);
    TChartModel model(700);
    model.Sync(list);
    const TChartSeries all = model.Points(TChartLine::P1);
    const int width = 300;
    for (const TKeyRange range : {TKeyRange{all.Keys.front(), all.Keys.back()},
                                  TKeyRange{all.Keys[5000] + 0.5, all.Keys[9000] - 0.5},
                                  TKeyRange{all.Keys[7000] - 0.25, all.Keys[7900] + 0.25}}) {
        SCOPED_TRACE(range.Lower);
        const TChartColumns columns = model.Columns(range, width);
        const TReducedLine reduced = model.Reduced(TChartLine::P1, columns);
        const auto column = [&](double Key) { return std::floor((Key - range.Lower) / (range.Upper - range.Lower) * width); };

        std::map<double, std::vector<double>> rawColumns, reducedColumns;
        for (std::size_t i = 0; i < all.Keys.size(); ++i) {
            if (all.Keys[i] >= range.Lower && all.Keys[i] <= range.Upper)
                rawColumns[column(all.Keys[i])].push_back(all.Values[i]);
        }
        for (std::size_t i = 0; i < reduced.Points.Keys.size(); ++i) {
            const double key = reduced.Points.Keys[i];
            if (key >= range.Lower && key <= range.Upper)
                reducedColumns[column(key)].push_back(reduced.Points.Values[i]);
        }
        ASSERT_EQ(rawColumns.size(), reducedColumns.size());
        double least = 1e9, greatest = -1e9;
        for (const auto &[c, raw] : rawColumns) {
            const std::vector<double> &kept = reducedColumns[c];
            ASSERT_LE(kept.size(), 4u) << c;
            EXPECT_EQ(kept.front(), raw.front()) << c;
            EXPECT_EQ(kept.back(), raw.back()) << c;
            EXPECT_EQ(*std::min_element(kept.begin(), kept.end()), *std::min_element(raw.begin(), raw.end())) << c;
            EXPECT_EQ(*std::max_element(kept.begin(), kept.end()), *std::max_element(raw.begin(), raw.end())) << c;
            if (raw.size() <= 4) {
                EXPECT_EQ(kept, raw) << c;
            }
            least = std::min(least, *std::min_element(raw.begin(), raw.end()));
            greatest = std::max(greatest, *std::max_element(raw.begin(), raw.end()));
        }
        EXPECT_TRUE(std::is_sorted(reduced.Points.Keys.begin(), reduced.Points.Keys.end()));
        EXPECT_EQ(reduced.Min, least);
        EXPECT_EQ(reduced.Max, greatest);
        // The line runs on to the nearest point outside the range on either side.
        const bool before = range.Lower > all.Keys.front();
        EXPECT_EQ(reduced.Points.Keys.front() < range.Lower, before);
        EXPECT_EQ(reduced.Points.Keys.back() > range.Upper, range.Upper < all.Keys.back());
    }
}

TEST(ChartData, RangeBetweenSamplesDrawsOnlyTheLineAcross)
{
    THistoryList list;
    list.Add(Sample(April7, 100));
    list.Add(Sample(April7 + 2, 300));
    TChartModel model(500);
    model.Sync(list);
    const TReducedLine reduced = model.Reduced(TChartLine::Energy, model.Columns({ChartKey(April7 + 0.5), ChartKey(April7 + 1)}, 100));
    EXPECT_FALSE(reduced.HasValues);
    EXPECT_THAT(reduced.Points.Values, ElementsAre(100, 300));
}

TEST(ChartData, LabelPatternFollowsTheVisibleSpan)
{
    constexpr double Day = 86400;
    const struct {
        double Span;
        const char *Pattern;
    } cases[] = {
        {3 * 365.25 * Day, "yyyy"},
        {3 * 365.25 * Day - 1, "mmm yyyy"},
        {(2 * 365 + 11 * 30.4375) * Day, "mmm yyyy"},   // two years eleven months
        {2 * 30.4375 * Day, "mmm yyyy"},
        {2 * 30.4375 * Day - 1, "ddddd"},
        {2 * Day, "ddddd"},
        {36 * 3600, "hh:nn"},
        {11 * 60, "hh:nn"},
        {10 * 60, "hh:nn:ss"},
        {0, "hh:nn:ss"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ChartLabelPattern({1e9, 1e9 + c.Span}), QString::fromLatin1(c.Pattern)) << c.Span;
        EXPECT_EQ(ChartLabelPattern({1e9 + c.Span, 1e9}), QString::fromLatin1(c.Pattern)) << c.Span;
    }
}

TEST(ChartData, RangeButtonsSpanTheirPeriodAndGiveTheirFormats)
{
    const TDateTime sunday = 42834.0 + 15 * Hour;       // Sunday 2017-04-09 15:00
    const TDateTime leapDay = 42429.0 + 8 * Hour;       // Monday 2016-02-29 08:00
    const struct {
        const char *Name;
        TKeyRange Range;
        TDateTime Lower, Upper;
        const char *Pattern;
    } cases[] = {
        {"now", NowRange(sunday), sunday - 300 / 86400.0, sunday + 300 / 86400.0, "hh:nn:ss"},
        {"today", TodayRange(sunday), 42834.0, 42835.0, "hh:nn"},
        {"week from Sunday", ThisWeekRange(sunday), 42828.0, 42835.0 - 0.001 / 86400, "ddddd"},
        {"week from Monday", ThisWeekRange(leapDay), 42429.0, 42436.0 - 0.001 / 86400, "ddddd"},
        {"month", ThisMonthRange(sunday), 42826.0, 42856.0 - 0.001 / 86400, "ddddd"},
        {"leap February", ThisMonthRange(leapDay), 42401.0, 42430.0 - 0.001 / 86400, "ddddd"},
        {"year", ThisYearRange(sunday), 42736.0, 43101.0 - 0.001 / 86400, "mmm yyyy"},
        {"leap year", ThisYearRange(leapDay), 42370.0, 42736.0 - 0.001 / 86400, "mmm yyyy"},
        {"downloaded", DownloadedRange(April7 + 13 * Hour, sunday), April7, sunday, "ddddd"},
    };
    for (const auto &c : cases) {
        EXPECT_NEAR(c.Range.Lower, ChartKey(c.Lower), 1e-6) << c.Name;
        EXPECT_NEAR(c.Range.Upper, ChartKey(c.Upper), 1e-6) << c.Name;
        EXPECT_EQ(ChartLabelPattern(c.Range), QString::fromLatin1(c.Pattern)) << c.Name;
    }
}

TEST(ChartData, PanningStopsAtTheEdgesOfTheData)
{
    const struct {
        TKeyRange Proposed, Previous, Expected;
    } cases[] = {
        {{150, 250}, {100, 200}, {150, 250}},   // within the data
        {{-50, 50}, {0, 100}, {0, 100}},        // held at the first key
        {{980, 1080}, {900, 1000}, {900, 1000}},  // held at the last key
        {{-60, 140}, {-50, 150}, {-50, 150}},   // a range wider than the data moves no further out
        {{-40, 160}, {-50, 150}, {-40, 160}},   // but back in
    };
    for (const auto &c : cases) {
        const TKeyRange r = PanWithinData(c.Proposed, c.Previous, 0, 1000);
        EXPECT_DOUBLE_EQ(r.Lower, c.Expected.Lower) << c.Proposed.Lower;
        EXPECT_DOUBLE_EQ(r.Upper, c.Expected.Upper) << c.Proposed.Lower;
    }
}

TEST(ChartData, BarUnderThePointerCoversItsDayUpToItsEnergy)
{
    const TChartSeries bars{{0, 86400}, {1500, 800}};
    EXPECT_EQ(BarAt(bars, 10, 1000), 0);
    EXPECT_EQ(BarAt(bars, 86400 + DayBarWidth - 1, 700), 1);
    EXPECT_EQ(BarAt(bars, 86400 + 10, 900), -1);        // above the bar
    EXPECT_EQ(BarAt(bars, DayBarWidth + 100, 100), -1);  // in the gap between days
    EXPECT_EQ(BarAt(bars, -10, 100), -1);
}
