// Scenario files: the demo heater with its believable days, the format's settings and refusals.

#include "SimTest.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace {

using ScenarioTest = SimTest;
using Record = Bytes;

const std::string kDemoFile = std::string(HELVANE_SOURCE_DIR) + "/sim/scenarios/demo.scenario";
constexpr const char *kDemoPath = "/dev/hidraw-heatersim";
constexpr std::int64_t kQuarterHour = 900;
constexpr int kDemoRecords = 42 * 96;

std::string WriteScenario(const std::string &name, const std::string &text)
{
    const std::string file = ::testing::TempDir() + "heatersim-" + name + ".scenario";
    std::ofstream(file) << text;
    return file;
}

// Device seconds of the PC's local wall-clock time: second 0 is 1970-01-01 02:00 local.
std::int64_t LocalDeviceSecondsNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<std::int64_t>(timegm(&local)) - 7200;
}

// Device seconds of a wall-clock time on 2025-06-21.
std::int32_t Midsummer2025(int hour)
{
    constexpr std::int64_t kDay = 20260; // days since 1970-01-01
    return static_cast<std::int32_t>(kDay * 86400 + hour * 3600 - 7200);
}

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

heatersim_status StatusAt(hid_device *heater, std::int32_t deviceSeconds)
{
    EXPECT_EQ(Send(heater, CommandReport(0x21, deviceSeconds)), kHostReportSize);
    ReadReport(heater);
    return HeaterStatus();
}

Handle LoadDemo()
{
    EXPECT_EQ(heatersim_load_scenario(kDemoFile.c_str()), 0);
    return OpenPath(kDemoPath);
}

TEST_F(ScenarioTest, DemoPlugsTheHeaterWithItsSettings)
{
    Handle heater = LoadDemo();
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
    EXPECT_NEAR(static_cast<double>(U32At(status, 9)), static_cast<double>(LocalDeviceSecondsNow()), 60);
}

TEST_F(ScenarioTest, DemoHistoryHoldsSixWeeksOfValidRecordsNewestFirst)
{
    Handle heater = LoadDemo();
    const std::uint32_t clock = HeaterStatus().clock;
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
        "clock-running maybe",
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
