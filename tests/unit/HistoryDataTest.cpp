#include "history/HistoryData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr TDateTime April7 = 42832.0;

// Samples every day back from April 7 (noon), at the given water temperatures, oldest first.
THistoryList Days(const std::vector<float> &Temperatures)
{
    THistoryList list;
    const int count = static_cast<int>(Temperatures.size());
    for (int day = 0; day < count; ++day) {
        THistoryData sample;
        sample.DT = April7 + 0.5 - (count - 1 - day);
        sample.TW = Temperatures[static_cast<std::size_t>(day)];
        list.Add(sample);
    }
    return list;
}

}

TEST(HistoryData, ListSortsByTimeAndCountsItsGenerations)
{
    THistoryList list;
    for (const TDateTime dt : {3.0, 1.0, 2.0}) {
        THistoryData sample;
        sample.DT = dt;
        list.Add(sample);
    }
    const int appended = list.Generation();
    list.Sort();
    EXPECT_EQ(list.Items(0).DT, 1.0);
    EXPECT_EQ(list.Items(2).DT, 3.0);
    EXPECT_GT(list.Generation(), appended);
    const int sorted = list.Generation();
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_GT(list.Generation(), sorted);
}

// An archived sample that the heater delivers again is kept once, as the heater has it, also where
// the two time stamps differ below a millisecond; samples the heater delivered twice (a clock that
// stands still) stay twice, as does an archived sample the heater did not deliver again.
TEST(HistoryData, SortMergedDropsOnlyArchivedSamplesTheHeaterDeliveredAgain)
{
    THistoryList list;
    const struct {
        TDateTime DT;
        int Energy;
        bool Archived;
    } samples[] = {
        {April7 + 0.5, 1, true},  {April7, 2, true},     {std::nextafter(April7 + 0.5, 1e9), 3, false},
        {April7 + 0.2 / 86400000, 4, false}, {April7 + 1.0 / 86400, 5, false}, {April7 + 1.0 / 86400, 6, false},
        {April7 + 0.7, 7, true},
    };
    for (const auto &s : samples) {
        THistoryData sample;
        sample.DT = s.DT;
        sample.Energy = s.Energy;
        if (s.Archived)
            list.AddArchived(sample);
        else
            list.Add(sample);
    }
    list.SortMerged();
    std::vector<int> kept;
    for (const THistoryData &sample : list)
        kept.push_back(sample.Energy);
    EXPECT_EQ(kept, (std::vector<int>{4, 5, 6, 3, 7}));
    list.SortMerged();   // the survivors keep what they were: nothing more goes
    EXPECT_EQ(list.Count(), 5);
}

TEST(HistoryData, LegionellaWarningAfterAMonthBelowSixtyDegrees)
{
    std::vector<float> month(32, 50.0f);   // 31 days from the oldest to the newest
    EXPECT_TRUE(LegionellaWarning(Days(month)));

    std::vector<float> hotAtTheEdge = month;
    hotAtTheEdge.front() = 60.0f;   // 31 days before the newest: still tested
    EXPECT_FALSE(LegionellaWarning(Days(hotAtTheEdge)));

    std::vector<float> hotBeyond(33, 50.0f);
    hotBeyond.front() = 65.0f;      // 32 days before: the walk stopped at the sample after it
    EXPECT_TRUE(LegionellaWarning(Days(hotBeyond)));

    EXPECT_FALSE(LegionellaWarning(Days(std::vector<float>(31, 50.0f))));   // exactly 30 days: no check
    EXPECT_FALSE(LegionellaWarning(Days({50.0f})));
    EXPECT_FALSE(LegionellaWarning(THistoryList{}));
}
