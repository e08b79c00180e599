// Scenario files: the demo heater with its believable days, the format's settings and refusals.

#include "SimTest.h"

#include <gmock/gmock.h>

#include <map>
#include <set>
#include <string>

namespace {

using ScenarioTest = SimTest;
using Record = Bytes;

const std::string kDemoFile = std::string(HELVANE_SOURCE_DIR) + "/sim/scenarios/demo.scenario";
constexpr const char *kDemoPath = "/dev/hidraw-heatersim";
constexpr std::int64_t kQuarterHour = 900;
constexpr std::int64_t kHour = 3600;
constexpr int kDemoRecords = 28 * 96; // four weeks of quarter hours
constexpr std::int64_t kDemoStart = 10 * kHour + 30 * 60;

std::vector<Record> ReadWholeHistory(hid_device *heater)
{
    std::vector<Record> records;
    Exchange(heater, CommandReport(0x02, 0));
    for (Bytes block = Exchange(heater, BlockRequest()); !block.empty(); block = Exchange(heater, BlockRequest())) {
        for (std::size_t at = 0; at < block.size(); at += 16) {
            records.emplace_back(block.begin() + at, block.begin() + at + 16);
        }
    }
    return records;
}

std::uint32_t TimeOf(const Record &record)
{
    return U32At(record, 0);
}

int DayOf(const Record &record)
{
    return static_cast<int>((static_cast<std::int64_t>(TimeOf(record)) + 7200) / 86400);
}

// The demo with its clock stopped where it started, so that the time-lapse holds still for the test.
Handle LoadDemo()
{
    EXPECT_EQ(heatersim_load_scenario(kDemoFile.c_str()), 0);
    heatersim_set_clock_running(0);
    return OpenPath(kDemoPath);
}

double Power(const heatersim_status &status)
{
    double watts = 0;
    for (int string = 0; string < 3; ++string) {
        watts += status.voltage[string] / 100.0 * status.current[string] / 100.0;
    }
    return watts;
}

TEST_F(ScenarioTest, DemoPlugsTheHeaterWithItsSettings)
{
    const std::int64_t dayBefore = MidnightOf(LocalDeviceSecondsNow());
    Handle heater = LoadDemo();
    const std::int64_t dayAfter = MidnightOf(LocalDeviceSecondsNow());
    ASSERT_TRUE(heater);
    hid_device_info *list = hid_enumerate(HEATERSIM_VENDOR, HEATERSIM_PRODUCT);
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list->path, kDemoPath);
    EXPECT_STREQ(list->serial_number, L"V1.10");
    hid_free_enumeration(list);

    const Bytes status = StatusReport(heater.get());
    ASSERT_EQ(status.size(), 41u);
    EXPECT_EQ(U32At(status, 1), 17090634u);
    EXPECT_EQ(U32At(status, 5), 60u);
    const std::int64_t clock = U32At(status, 9);
    EXPECT_THAT(MidnightOf(clock), ::testing::AnyOf(dayBefore, dayAfter));
    EXPECT_GE(clock - MidnightOf(clock), kDemoStart);
    EXPECT_LT(clock - MidnightOf(clock), kDemoStart + 60);
}

TEST_F(ScenarioTest, DemoHistoryHoldsFourWeeksOfValidRecordsNewestFirst)
{
    Handle heater = LoadDemo();
    const std::uint32_t clock = HeaterStatus().clock;
    EXPECT_EQ(heatersim_history_count(), kDemoRecords);
    const std::vector<Record> records = ReadWholeHistory(heater.get());
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kDemoRecords));
    EXPECT_LE(TimeOf(records.front()), clock);
    EXPECT_GT(TimeOf(records.front()) + kQuarterHour, clock);

    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record &record = records[i];
        unsigned sum = 0;
        for (const std::uint8_t byte : record) {
            sum += byte;
        }
        EXPECT_EQ(sum % 256, 0u) << i;
        if (i > 0) {
            EXPECT_EQ(TimeOf(records[i - 1]) - TimeOf(record), kQuarterHour) << i;
        }
        for (int string = 0; string < 3; ++string) {
            EXPECT_LE(record[4 + string], 52 * 4) << i; // volts
            EXPECT_LE(record[7 + string], 14 * 4) << i; // amperes
        }
        EXPECT_GE(static_cast<std::int8_t>(record[10]), 10) << i;
        EXPECT_LE(static_cast<std::int8_t>(record[10]), 65) << i;
    }
}

TEST_F(ScenarioTest, DemoHistoryHasDailyEnergyAndAnErrorEpisode)
{
    Handle heater = LoadDemo();
    const std::vector<Record> records = ReadWholeHistory(heater.get());
    std::map<int, int> statesSeen;
    std::set<int> episodeDays;
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        const Record &record = records[i];
        const Record &earlier = records[i + 1];
        ++statesSeen[record[14]];
        if (record[14] == 201) {
            episodeDays.insert(DayOf(record));
        }
        if (DayOf(record) != DayOf(earlier)) {
            EXPECT_EQ(I16At(record, 12), 0) << "energy at midnight, record " << i;
        } else {
            EXPECT_GE(I16At(record, 12), I16At(earlier, 12)) << "energy within a day, record " << i;
        }
    }
    EXPECT_EQ(episodeDays.size(), 1u);
    EXPECT_GT(statesSeen[0], 0);   // heating
    EXPECT_GT(statesSeen[101], 0); // night
    EXPECT_GT(statesSeen[111], 0); // setpoint reached
}

TEST_F(ScenarioTest, DemoLiveValuesFollowTheTimeOfDay)
{
    Handle heater = LoadDemo();

    const heatersim_status night = StatusAt(heater.get(), Midsummer2025(3));
    EXPECT_EQ(night.state, 101);
    EXPECT_EQ(night.energy, 0);
    for (int string = 0; string < 3; ++string) {
        EXPECT_EQ(night.current[string], 0);
    }

    const heatersim_status morning = StatusAt(heater.get(), Midsummer2025(9));
    EXPECT_EQ(morning.state, 0);
    EXPECT_GT(morning.energy, 0);
    for (int string = 0; string < 3; ++string) {
        EXPECT_GE(morning.voltage[string], 3000);
        EXPECT_LE(morning.voltage[string], 4500);
        EXPECT_GT(morning.current[string], 100);
        EXPECT_LE(morning.current[string], 1200);
        EXPECT_GE(morning.pwm[string], 300);
        EXPECT_LE(morning.pwm[string], 900);
    }

    const heatersim_status noon = StatusAt(heater.get(), Midsummer2025(12));
    EXPECT_EQ(noon.state, 111);
    EXPECT_GE(noon.water_temp, 5700);
    EXPECT_GT(noon.energy, morning.energy);
}

// A minute of the technician mode's polls: the afternoon sun, an isolation warning, a short
// overvoltage, night and the energy's reset at midnight, whatever day it is.
TEST_F(ScenarioTest, DemoDayRunsFromLateMorningPastMidnight)
{
    Handle heater = LoadDemo();
    const std::int64_t midnight = MidnightOf(HeaterStatus().clock);
    const auto at = [&](std::int64_t hour, std::int64_t minute) {
        return StatusAt(heater.get(), midnight + hour * kHour + minute * 60);
    };

    const heatersim_status morning = at(10, 30);
    EXPECT_EQ(morning.state, 0);
    EXPECT_GT(Power(morning), 300);
    EXPECT_LT(morning.water_temp, morning.setpoint * 100);

    const heatersim_status warning = at(13, 30);
    EXPECT_EQ(warning.state, 121);
    for (int string = 0; string < 3; ++string) {
        EXPECT_GT(warning.voltage[string], 3000) << string; // in the sun
    }
    EXPECT_LT(warning.isolation, 16 * 4);

    const heatersim_status overvoltage = at(15, 45);
    EXPECT_EQ(overvoltage.state, 201);
    EXPECT_GT(overvoltage.voltage[0], 5000);
    EXPECT_EQ(overvoltage.current[0], 0);

    const heatersim_status lateEvening = at(23, 45);
    EXPECT_EQ(lateEvening.state, 101);
    EXPECT_GT(lateEvening.energy, 1000);
    EXPECT_GT(lateEvening.energy, morning.energy);

    const heatersim_status afterMidnight = at(24, 15);
    EXPECT_EQ(afterMidnight.state, 101);
    EXPECT_LT(afterMidnight.energy, lateEvening.energy);
    EXPECT_EQ(afterMidnight.energy, 0);
}

TEST_F(ScenarioTest, DemoHistoryAgreesWithTheLiveValuesAtItsTimes)
{
    Handle heater = LoadDemo();
    const std::vector<Record> records = ReadWholeHistory(heater.get());
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kDemoRecords));
    for (std::size_t i = 0; i < records.size(); i += 211) {
        const Record &record = records[i];
        const heatersim_status status = StatusAt(heater.get(), static_cast<std::int32_t>(TimeOf(record)));
        for (int string = 0; string < 3; ++string) {
            EXPECT_NEAR(status.voltage[string] / 25.0, record[4 + string], 1) << i;
            EXPECT_NEAR(status.current[string] / 25.0, record[7 + string], 1) << i;
        }
        EXPECT_NEAR(status.water_temp / 100.0, static_cast<std::int8_t>(record[10]), 1) << i;
        EXPECT_NEAR(status.energy, I16At(record, 12), 1) << i;
        EXPECT_EQ(status.state, record[14]) << i;
    }
}

TEST_F(ScenarioTest, SettingsApplyAndOmittedOnesKeepTheResetState)
{
    const heatersim_status initial = HeaterStatus();
    const std::string file = WriteScenario("settings", "# a test heater\n"
                                                       "\n"
                                                       "device /dev/hidraw-kbd 0x046D 0xC31C\n"
                                                       "heater /dev/hidraw-h1 V2.00   # after the keyboard\n"
                                                       "  setpoint 45\n"
                                                       "pwm 100 -1 1000\n"
                                                       "clock 1491559200\n"
                                                       "history-days 1\n");
    ASSERT_EQ(heatersim_load_scenario(file.c_str()), 0);

    hid_device_info *list = hid_enumerate(0, 0);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->next, nullptr);
    EXPECT_STREQ(list->path, "/dev/hidraw-kbd");
    EXPECT_EQ(list->vendor_id, 0x046D);
    EXPECT_STREQ(list->next->serial_number, L"V2.00");
    hid_free_enumeration(list);

    const heatersim_status status = HeaterStatus();
    EXPECT_EQ(status.setpoint, 45);
    EXPECT_EQ(status.clock, 1491559200u);
    EXPECT_EQ(status.pwm[0], 100);
    EXPECT_EQ(status.pwm[1], -1);
    EXPECT_EQ(status.pwm[2], 1000);
    EXPECT_EQ(status.serial_number, initial.serial_number);
    EXPECT_EQ(status.voltage[0], initial.voltage[0]);
    EXPECT_EQ(status.water_temp, initial.water_temp);
    EXPECT_EQ(heatersim_history_count(), 96);
}

// The cover set for the clock's day darkens that day only; the day before keeps its own weather.
TEST_F(ScenarioTest, CloudsCoverTheClocksDayOnly)
{
    const auto statusWith = [](int percent, std::int64_t deviceSeconds) {
        const std::string text = "heater " + std::string(kHeaterPath) + " V1.10\n"
                                 "setpoint 99\n"
                                 "clock " + std::to_string(Midsummer2025(9)) + "\n"
                                 "day-model on\n"
                                 "clouds " + std::to_string(percent) + "\n";
        const std::string file = WriteScenario("clouds", text);
        EXPECT_EQ(heatersim_load_scenario(file.c_str()), 0);
        Handle heater = OpenPath(kHeaterPath);
        return StatusAt(heater.get(), deviceSeconds);
    };
    const std::int64_t afternoon = Midsummer2025(13);
    EXPECT_GT(statusWith(0, afternoon).energy, 1.5 * statusWith(95, afternoon).energy);
    EXPECT_GT(statusWith(95, afternoon).energy, 0);

    const heatersim_status clearDayBefore = statusWith(0, afternoon - 86400);
    const heatersim_status overcastDayBefore = statusWith(95, afternoon - 86400);
    EXPECT_EQ(clearDayBefore.energy, overcastDayBefore.energy);
    EXPECT_EQ(clearDayBefore.water_temp, overcastDayBefore.water_temp);
}

TEST_F(ScenarioTest, MalformedScenariosAreRefusedAndChangeNothing)
{
    const char *const texts[] = {
        "unknown 1",
        "setpoint",
        "setpoint 60 61",
        "setpoint sixty",
        "setpoint 150",
        "pwm -2 0 0",
        "pwm 0 0",
        "clock yesterday",
        "clock -5",
        "clock 5 6",
        "clock local now",
        "clock today",
        "clock today 24:00",
        "clock today 10:60",
        "clock today 1030",
        "clock today 10:30 11:00",
        "clock tomorrow 10:30",
        "clock-running maybe",
        "clock-rate",
        "clock-rate 0",
        "clock-rate -900",
        "clock-rate 3601",
        "clock-rate fast",
        "clock-rate 900 900",
        "clouds 96",
        "clouds -1",
        "clouds some",
        "day-model 1",
        "history-days -1",
        "heater /dev/hidraw-x",
        "device /dev/hidraw-x 0x10000 1",
        "episode 201 9 25:00 20",
        "episode 201 9 11:00",
        "episode 201 9 11:00 0",
        "setpoint 60\nbogus",
    };
    heatersim_plug_device("/dev/hidraw-kbd", 0x046D, 0xC31C);
    int index = 0;
    for (const char *text : texts) {
        const std::string file = WriteScenario("malformed-" + std::to_string(index++), text);
        EXPECT_EQ(heatersim_load_scenario(file.c_str()), -1) << text;
    }
    EXPECT_EQ(heatersim_load_scenario((::testing::TempDir() + "heatersim-absent.scenario").c_str()), -1);
    EXPECT_EQ(heatersim_load_scenario(nullptr), -1);

    hid_device_info *list = hid_enumerate(0, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list->path, "/dev/hidraw-kbd");
    hid_free_enumeration(list);
    EXPECT_EQ(HeaterStatus().setpoint, 60);
}

} // namespace
