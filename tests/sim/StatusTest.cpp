// The status feature report and the commands reflected in it.

#include "SimTest.h"

namespace {

using StatusTest = SimTest;

heatersim_status DistinctStatus()
{
    heatersim_status status{};
    status.serial_number = 17090634;
    status.setpoint = 60;
    status.clock = 1491559200; // 2017-04-07 12:00:00
    status.voltage[0] = 3100;
    status.voltage[1] = -2;
    status.voltage[2] = 300;
    status.current[0] = -1;
    status.current[1] = 1000;
    status.current[2] = 0;
    status.pwm[0] = -1;
    status.pwm[1] = 0;
    status.pwm[2] = 1000;
    status.water_temp = 4500;
    status.water_temp2 = -200;
    status.board_temp = 3150;
    status.isolation = 0xFF;
    status.energy = 12345;
    status.state = 201;
    return status;
}

const Bytes kDistinctReport{
    0x00,                                           // report number
    0x01, 0x04, 0xC8, 0x4A, 0x00, 0x00, 0x00, 0x3C, // serial number, setpoint
    0x58, 0xE7, 0x63, 0x20,                         // clock
    0x0C, 0x1C, 0xFF, 0xFE, 0x01, 0x2C,             // U1..U3
    0xFF, 0xFF, 0x03, 0xE8, 0x00, 0x00,             // I1..I3
    0xFF, 0xFF, 0x00, 0x00, 0x03, 0xE8,             // PWM1..PWM3
    0x11, 0x94, 0xFF, 0x38, 0x0C, 0x4E,             // TW, TW2, TB
    0xFF, 0x30, 0x39, 0xC9,                         // isolation, energy at offset 37, state
};

TEST_F(StatusTest, ReportCarriesTheStatusByteForByte)
{
    Handle heater = PlugAndOpenHeater();
    const heatersim_status status = DistinctStatus();
    heatersim_set_status(&status);
    EXPECT_EQ(StatusReport(heater.get()), kDistinctReport);
}

TEST_F(StatusTest, ReportLengthFollowsTheStatusLengthAndTheBuffer)
{
    struct Case {
        int statusLength;
        std::size_t buffer;
        std::size_t received;
    };
    const Case cases[] = {{40, 256, 41}, {10, 256, 11}, {0, 256, 1}, {50, 256, 51}, {40, 20, 20}, {40, 1, 1}};
    Handle heater = PlugAndOpenHeater();
    const heatersim_status status = DistinctStatus();
    heatersim_set_status(&status);
    for (const Case &c : cases) {
        heatersim_set_status_length(c.statusLength);
        const Bytes report = StatusReport(heater.get(), c.buffer);
        ASSERT_EQ(report.size(), c.received) << c.statusLength << " in " << c.buffer;
        for (std::size_t i = 0; i < report.size(); ++i) {
            EXPECT_EQ(report[i], i < kDistinctReport.size() ? kDistinctReport[i] : 0) << i;
        }
    }
}

TEST_F(StatusTest, OnlyReportNumberZeroIsAnswered)
{
    Handle heater = PlugAndOpenHeater();
    unsigned char buffer[64] = {1};
    EXPECT_EQ(hid_get_feature_report(heater.get(), buffer, sizeof buffer), -1);
    EXPECT_NE(hid_error(heater.get()), nullptr);
    EXPECT_EQ(StatusReport(heater.get()).size(), 41u);
    EXPECT_EQ(hid_error(heater.get()), nullptr);
}

TEST_F(StatusTest, FeatureReadsAreCounted)
{
    Handle heater = PlugAndOpenHeater();
    StatusReport(heater.get());
    StatusReport(heater.get());
    EXPECT_EQ(heatersim_feature_reads(), 2);
}

TEST_F(StatusTest, CommandsShowInTheNextStatus)
{
    struct Case {
        std::uint8_t command;
        std::int32_t value;
        std::size_t offset; // payload offset of the field
        int size;
    };
    const Case cases[] = {
        {0x20, 45, 4, 4},          {0x20, 85, 4, 4},        {0x21, 1491559200, 8, 4}, {0x21, -7200, 8, 4},
        {0x2F, 17131001, 0, 4},    {0x31, -1, 24, 2},       {0x32, 1000, 26, 2},      {0x33, 0, 28, 2},
        {0x33, 512, 28, 2},
    };
    Handle heater = PlugAndOpenHeater();
    for (const Case &c : cases) {
        ASSERT_EQ(Send(heater.get(), CommandReport(c.command, c.value)), kHostReportSize);
        const Bytes report = StatusReport(heater.get());
        const std::int64_t field = c.size == 4 ? static_cast<std::int32_t>(U32At(report, 1 + c.offset))
                                               : I16At(report, 1 + c.offset);
        EXPECT_EQ(field, c.value) << std::hex << int(c.command);
    }
}

TEST_F(StatusTest, UnpaddedCommandIsActedOn)
{
    Handle heater = PlugAndOpenHeater();
    ASSERT_EQ(Send(heater.get(), CommandReport(0x20, 45, 6)), 6);
    EXPECT_EQ(HeaterStatus().setpoint, 45);
}

TEST_F(StatusTest, FirmwareUpdateCommandEntersFirmwareMode)
{
    Handle heater = PlugAndOpenHeater();
    EXPECT_EQ(heatersim_in_firmware_mode(), 0);
    ASSERT_EQ(Send(heater.get(), CommandReport(0x40, 0)), kHostReportSize);
    EXPECT_EQ(heatersim_in_firmware_mode(), 1);
    heater.reset();
    heatersim_reset();
    EXPECT_EQ(heatersim_in_firmware_mode(), 0);
}

} // namespace
