#include "protocol/StatusReport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// The worked example: SN 17090634, setpoint 60, 2017-04-07 12:00:00, U1 31.00 V, I1 10.00 A,
// PWM1 400, TW 45.25, TW2 44.00, TB 28.50, Uisol 63.75, energy 12345 Wh, state 0.
TBytes ExamplePayload()
{
    return {0x01, 0x04, 0xC8, 0x4A,  0x00, 0x00, 0x00, 0x3C,  0x58, 0xE7, 0x63, 0x20,
            0x0C, 0x1C, 0x00, 0x00, 0x00, 0x00,    // U1..U3
            0x03, 0xE8, 0x00, 0x00, 0x00, 0x00,    // I1..I3
            0x01, 0x90, 0x00, 0x00, 0x00, 0x00,    // PWM1..PWM3
            0x11, 0xAD, 0x11, 0x30, 0x0B, 0x22,    // TW, TW2, TB
            0xFF, 0x30, 0x39, 0x00};
}

void SetI16(TBytes &Data, int Pos, std::int16_t Value)
{
    Data[static_cast<std::size_t>(Pos)] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(Value) >> 8);
    Data[static_cast<std::size_t>(Pos + 1)] = static_cast<std::uint8_t>(Value & 0xFF);
}

}

TEST(StatusReport, WorkedExampleDecodesEveryField)
{
    const TCurrentData s = DecodeCurrentData(ExamplePayload(), 500);
    EXPECT_EQ(s.SN, 17090634);
    EXPECT_EQ(s.SN / 10000, 1709);
    EXPECT_EQ(s.SN % 10000, 634);
    EXPECT_EQ(s.Tsoll, 60);
    EXPECT_EQ(s.Sample.DT, 42832.5);
    EXPECT_FLOAT_EQ(s.Sample.U1, 31.0f);
    EXPECT_FLOAT_EQ(s.Sample.I1, 10.0f);
    EXPECT_EQ(s.Sample.PWM1, 400);
    EXPECT_FLOAT_EQ(s.Sample.P1, 310.0f);
    EXPECT_EQ(s.Sample.P2, 0.0f);
    EXPECT_EQ(s.Sample.TW, 45.25f);
    EXPECT_EQ(s.TW2, 44.0f);
    EXPECT_EQ(s.Sample.TB, 28.5f);
    EXPECT_EQ(s.Uisol, 63.75f);
    EXPECT_EQ(s.Sample.Energy, 12345);
    EXPECT_EQ(s.Sample.Err, 0);
}

TEST(StatusReport, NegativeAndExtremeRawValues)
{
    TBytes p = ExamplePayload();
    p[0] = 0xFF; p[1] = 0xFF; p[2] = 0xFF; p[3] = 0xFE;   // SN -2
    SetI16(p, 18, -1);                                    // I1 -0.01 A
    SetI16(p, 30, -200);                                  // TW -2.00
    SetI16(p, 26, -32768);                                // PWM2
    SetI16(p, 37, -32768);                                // energy at the odd offset
    p[39] = 0xC9;
    const TCurrentData s = DecodeCurrentData(p, 500);
    EXPECT_EQ(s.SN, -2);
    EXPECT_EQ(s.SN / 10000, 0);
    EXPECT_EQ(s.SN % 10000, -2);
    EXPECT_FLOAT_EQ(s.Sample.I1, -0.01f);
    EXPECT_EQ(s.Sample.P1, 0.0f);   // a negative product gives no power
    EXPECT_EQ(s.Sample.TW, -2.0f);
    EXPECT_EQ(s.Sample.PWM2, -32768);
    EXPECT_EQ(s.Sample.Energy, -32768);
    EXPECT_EQ(s.Sample.Err, 201);
}

TEST(StatusReport, PowerIsHeldToThePwmAndTheCeiling)
{
    const struct {
        std::int16_t U, I, Pwm;
        float Ceiling, Power;
    } cases[] = {
        {3100, 1000, 400, 500, 310.0f},
        {4000, 1500, 400, 500, 500.0f},
        {4000, 1500, 400, 700, 600.0f},
        {4000, 1500, 0, 700, 0.0f},
        {4000, 1500, -1, 700, 0.0f},
        {3100, -1, 400, 500, 0.0f},
    };
    for (const auto &c : cases) {
        TBytes p = ExamplePayload();
        SetI16(p, 12, c.U);
        SetI16(p, 18, c.I);
        SetI16(p, 24, c.Pwm);
        EXPECT_FLOAT_EQ(DecodeCurrentData(p, c.Ceiling).Sample.P1, c.Power) << c.U << " " << c.I << " " << c.Pwm;
    }
}

TEST(StatusReport, LongerPayloadDecodesAsItsFirstFortyBytes)
{
    TBytes longer = ExamplePayload();
    longer.insert(longer.end(), {0xAA, 0xBB, 0xCC});
    EXPECT_EQ(DecodeCurrentData(longer, 500).Sample.Energy, 12345);
}

TEST(StatusReport, ShortReportIsRefusedAndNeverReadPastItsEnd)
{
    TBytes report(41, 0);
    EXPECT_EQ(StatusPayload(report).size(), 40u);
    report.pop_back();
    try {
        StatusPayload(report);
        FAIL() << "a 40-byte report was accepted";
    } catch (const std::runtime_error &Error) {
        EXPECT_STREQ(Error.what(), "Status report too short: 40 bytes");
    }
    EXPECT_THROW(DecodeCurrentData(TBytes(39, 0), 500), std::out_of_range);
}
