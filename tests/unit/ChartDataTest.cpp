#include "Fixtures.h"
#include "history/ChartData.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TChartData Build(const THistoryList &History, float MaxStringPower = 500)
{
    return BuildChartData(History, MaxStringPower, TLanguage::English, TLocaleFormats{});
}

// The bars as (X, Y) pairs, X in day numbers, to compare whole series at once.
std::vector<std::pair<TDateTime, double>> Bars(const TChartData &Chart)
{
    std::vector<std::pair<TDateTime, double>> bars;
    for (std::size_t i = 0; i < Chart.EnergyBar.Keys.size(); ++i)
        bars.emplace_back(ChartKeyToDateTime(Chart.EnergyBar.Keys[i]), Chart.EnergyBar.Values[i]);
    return bars;
}

std::vector<const TChartSeries *> LineSeries(const TChartData &Chart)
{
    return {&Chart.Energy, &Chart.P1, &Chart.P2, &Chart.P3, &Chart.TW, &Chart.PWM1,
            &Chart.PWM2, &Chart.PWM3, &Chart.U1, &Chart.U2, &Chart.U3};
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
    const TChartData chart = Build(THistoryList{});
    for (const TChartSeries *series : LineSeries(chart)) {
        EXPECT_THAT(series->Keys, IsEmpty());
        EXPECT_THAT(series->Values, IsEmpty());
    }
    EXPECT_THAT(chart.EnergyBar.Keys, IsEmpty());
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
    const TChartData chart = Build(ListOf({sample}));

    const std::vector<std::pair<const TChartSeries *, double>> expected = {
        {&chart.Energy, 0},  {&chart.P1, 101},   {&chart.P2, 102},   {&chart.P3, 103},
        {&chart.TW, 45.5},   {&chart.PWM1, 201}, {&chart.PWM2, 202}, {&chart.PWM3, 203},
        {&chart.U1, 31},     {&chart.U2, 32},    {&chart.U3, 33},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_THAT(expected[i].first->Keys, ElementsAre(1491566400.0)) << "series " << i;
        EXPECT_THAT(expected[i].first->Values, ElementsAre(expected[i].second)) << "series " << i;
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
        const TChartData chart = Build(ListOf({Sample(c.DT, 900), Sample(April7 + 12 * Hour, 400)}));
        const std::vector<double> energies = c.Charted ? std::vector<double>{900, 400} : std::vector<double>{400};
        for (const TChartSeries *series : LineSeries(chart))
            EXPECT_EQ(series->Keys.size(), energies.size()) << c.DT;
        EXPECT_EQ(chart.Energy.Values, energies) << c.DT;
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
        const TChartData chart = Build(ListOf({sample}), c.Ceiling);
        EXPECT_THAT(chart.P1.Values, ElementsAre(c.P1)) << c.Ceiling;
        EXPECT_THAT(chart.P2.Values, ElementsAre(c.P2)) << c.Ceiling;
        EXPECT_THAT(chart.P3.Values, ElementsAre(c.P3)) << c.Ceiling;
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
        const TChartData chart = BuildChartData(ListOf(c.Samples), 500, c.Language, DeDe());
        EXPECT_EQ(chart.Title, QString::fromUtf8(c.Title));
    }
}
