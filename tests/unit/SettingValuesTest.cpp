#include "settings/SettingValues.h"

#include <gtest/gtest.h>

TEST(SettingValues, SetpointQuestionOnEitherSideOfSixty)
{
    const struct {
        int Setpoint;
        const char *Key;
    } cases[] = {
        {45, "sMsgTempBelow60"}, {59, "sMsgTempBelow60"}, {60, ""}, {61, "sMsgHotWater"}, {85, "sMsgHotWater"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SetpointQuestionKey(c.Setpoint), QString::fromLatin1(c.Key)) << c.Setpoint;
}

TEST(SettingValues, ClockValueCountsFromTwoInTheMorningOfNewYear1970AndDropsMilliseconds)
{
    EXPECT_EQ(DeviceClockValue(QDate(2017, 4, 7), QTime(12, 0, 0, 999)), 1491559200);
    EXPECT_EQ(DeviceClockValue(QDate(1970, 1, 1), QTime(2, 0, 1)), 1);
    // Every second of a day is sent as itself, 10:00:00 among them.
    const std::int32_t midnight = DeviceClockValue(QDate(2017, 3, 30), QTime(0, 0));
    EXPECT_EQ(midnight, 1490824800);
    for (int second = 0; second < 86400; ++second)
        ASSERT_EQ(DeviceClockValue(QDate(2017, 3, 30), QTime(0, 0).addSecs(second)), midnight + second) << second;
}

TEST(SettingValues, SerialNumberJoinsYearWeekAndNumber)
{
    EXPECT_EQ(SerialNumberValue(1713, 1001), 17131001);
}

TEST(SettingValues, PlausibleSerialNumberHasAYearWeekAndANumber)
{
    const struct {
        std::int32_t SN;
        bool Plausible;
    } cases[] = {
        {17090634, true},  {17131001, true},  {10010000, true},  {99539999, true}, {17530001, true},
        {17540001, false},   // week 54
        {17000634, false},   // week 0
        {9520634, false},    // year-week 0952, below the editor's range
        {0, false},          {-1534983024, false}, {-17090634, false},
        {2147483647, false},   // year-week 214748
    };
    for (const auto &c : cases)
        EXPECT_EQ(PlausibleSerialNumber(c.SN), c.Plausible) << c.SN;
}
