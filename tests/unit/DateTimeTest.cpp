#include "core/DateTime.h"
#include "history/HistoryData.h"

#include <gtest/gtest.h>

TEST(DateTime, DayNumbersCountFromTheEndOf1899)
{
    EXPECT_EQ(DateTimeFromQt(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_EQ(DateTimeFromQt(QDateTime(QDate(1970, 1, 1), QTime(0, 0))), 25569.0);
    EXPECT_EQ(DateTimeFromQt(QDateTime(QDate(2017, 4, 7), QTime(12, 0))), 42832.5);
    EXPECT_EQ(DateTimeToQt(42832.5), QDateTime(QDate(2017, 4, 7), QTime(12, 0), Qt::UTC));
    EXPECT_EQ(DateTimeToQt(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC));
    // 02:30 on the night the clocks go forward in Zurich is still a device time.
    EXPECT_EQ(DateTimeToQt(DateTimeFromQt(QDateTime(QDate(2017, 3, 26), QTime(2, 30), Qt::UTC))).time(), QTime(2, 30));
    EXPECT_EQ(YearOf(42832.5), 2017);
}

TEST(DateTime, YearWeekUsesTheCalendarYearAndTheIsoWeek)
{
    EXPECT_EQ(YearWeekValue(QDate(2017, 3, 30)), 1713);
    EXPECT_EQ(YearWeekValue(QDate(2017, 1, 1)), 1752);  // Sunday of ISO week 52 of 2016
    EXPECT_EQ(YearWeekValue(QDate(2018, 12, 31)), 1801);  // Monday of ISO week 1 of 2019
}

TEST(HistoryData, NewSampleIsAllZero)
{
    const THistoryData sample;
    EXPECT_EQ(sample.DT, 0.0);
    EXPECT_EQ(sample.U1 + sample.U2 + sample.U3 + sample.I1 + sample.I2 + sample.I3 + sample.TW + sample.TB
                  + sample.P1 + sample.P2 + sample.P3,
              0.0f);
    EXPECT_EQ(sample.PWM1 | sample.PWM2 | sample.PWM3 | sample.Energy | sample.Err, 0);
}

TEST(HistoryData, SortOrdersByTimeAndLiveSamplesAppendAtTheEnd)
{
    THistoryList list;
    for (double dt : {3.0, 1.0, 2.0}) {
        THistoryData sample;
        sample.DT = dt;
        list.Add(sample);
    }
    list.Sort();
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(0).DT, 1.0);
    EXPECT_EQ(list.Items(1).DT, 2.0);
    EXPECT_EQ(list.Items(2).DT, 3.0);

    list.Add(THistoryData{});
    EXPECT_EQ(list.Items(3).DT, 0.0);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(HistoryData, CompareTellsOrderByTimeStampOnly)
{
    THistoryData early, late;
    early.DT = 1.0;
    early.Energy = 99;
    late.DT = 2.0;
    EXPECT_EQ(CompareHistoryData(early, late), -1);
    EXPECT_EQ(CompareHistoryData(late, early), 1);
    EXPECT_EQ(CompareHistoryData(early, early), 0);
}
