// The device clock: how elapsed real time becomes device seconds at the clock's rate, where a
// scenario starts the clock, and that setting the clock from the host keeps its rate.

#include "Clock.h"
#include "SimTest.h"

#include <gmock/gmock.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using ClockTest = SimTest;
using heatersim::Clock;

constexpr std::uint32_t kBase = 1491559200; // 2017-04-07 12:00:00

TEST(ClockReading, ElapsedRealTimeBecomesDeviceSecondsAtTheRate)
{
    struct Case {
        bool running;
        int rate;
        std::chrono::milliseconds elapsed;
        std::uint32_t advance;
    };
    const Case cases[] = {
        {false, 900, 10s, 0},             // standing still
        {true, 1, 0ms, 0},
        {true, 1, 999ms, 0},              // whole device seconds only
        {true, 1, 1500ms, 1},
        {true, 900, 999ms, 899},
        {true, 900, 1001ms, 900},         // one poll of the technician mode: a quarter of an hour
        {true, 900, 60s, 54000},          // a minute of watching: fifteen hours
        {true, 3600, 24h, 3600u * 86400}, // a real day at the highest rate
    };
    for (const Case &c : cases) {
        Clock clock;
        clock.base = kBase;
        clock.running = c.running;
        clock.rate = c.rate;
        EXPECT_EQ(heatersim::ClockAfter(clock, c.elapsed), kBase + c.advance)
            << c.running << " at " << c.rate << " after " << c.elapsed.count() << " ms";
    }
}

TEST(ClockReading, SettingTheClockKeepsItsRate)
{
    Clock clock;
    clock.running = true;
    clock.rate = 900;
    heatersim::SetClock(clock, kBase);
    EXPECT_EQ(heatersim::ClockAfter(clock, 2s), kBase + 1800);
}

// The device clock starts at the given time of the PC's current local day.
TEST_F(ClockTest, ScenarioStartsTheClockTodayAtTheGivenTime)
{
    struct Case {
        const char *time;
        std::int64_t secondOfDay;
    };
    const Case cases[] = {{"00:00", 0}, {"10:30", 37800}, {"23:59", 86340}};
    for (const Case &c : cases) {
        const std::string file = WriteScenario("today", std::string("clock today ") + c.time + "\n");
        const std::int64_t dayBefore = MidnightOf(LocalDeviceSecondsNow());
        ASSERT_EQ(heatersim_load_scenario(file.c_str()), 0) << c.time;
        const std::int64_t dayAfter = MidnightOf(LocalDeviceSecondsNow());
        const std::int64_t clock = HeaterStatus().clock;
        EXPECT_THAT(clock - c.secondOfDay, ::testing::AnyOf(dayBefore, dayAfter)) << c.time;
    }
}

// Real time only ever passes, so after a pause of a few milliseconds a clock at 3600 device
// seconds per second must have gone on by at least that many times 3.6 s, also after the host
// set it.
TEST_F(ClockTest, ScenarioRateDrivesTheRunningClockAlsoAfterTheHostSetsIt)
{
    const std::string text = "heater " + std::string(kHeaterPath) + " V1.10\n"
                             "clock " + std::to_string(kBase) + "\n"
                             "clock-running on\n"
                             "clock-rate 3600\n";
    const std::string file = WriteScenario("rate", text);
    ASSERT_EQ(heatersim_load_scenario(file.c_str()), 0);
    Handle heater = OpenPath(kHeaterPath);
    ASSERT_TRUE(heater);
    std::this_thread::sleep_for(3ms);
    EXPECT_GE(HeaterStatus().clock, kBase + 10);

    constexpr std::uint32_t kSet = 1500000000;
    ASSERT_EQ(Send(heater.get(), CommandReport(0x21, static_cast<std::int32_t>(kSet))), kHostReportSize);
    std::this_thread::sleep_for(3ms);
    EXPECT_GE(HeaterStatus().clock, kSet + 10);

    heatersim_set_clock_running(0);
    const std::uint32_t stopped = HeaterStatus().clock;
    std::this_thread::sleep_for(3ms);
    EXPECT_EQ(HeaterStatus().clock, stopped);
}

} // namespace
