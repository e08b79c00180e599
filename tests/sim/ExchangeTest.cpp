// Output reports as recorded, input reports as queued, and the faults of both.

#include "SimTest.h"

namespace {

using ExchangeTest = SimTest;

TEST_F(ExchangeTest, WritesAreRecordedExactly)
{
    Handle heater = PlugAndOpenHeater();
    const Bytes shortReport{0x00, 0x10};
    const Bytes command = CommandReport(0x20, 60);
    ASSERT_EQ(Send(heater.get(), shortReport), 2);
    ASSERT_EQ(Send(heater.get(), command), kHostReportSize);
    ASSERT_EQ(heatersim_written_count(), 2);

    Bytes copy(80, 0xEE);
    EXPECT_EQ(heatersim_written(0, copy.data(), static_cast<int>(copy.size())), 2);
    EXPECT_EQ(Bytes(copy.begin(), copy.begin() + 2), shortReport);
    EXPECT_EQ(copy[2], 0xEE);
    EXPECT_EQ(heatersim_written(1, copy.data(), 3), kHostReportSize);
    EXPECT_EQ(Bytes(copy.begin(), copy.begin() + 3), Bytes(command.begin(), command.begin() + 3));
    EXPECT_EQ(copy[3], 0xEE);
    EXPECT_EQ(heatersim_written(2, copy.data(), 80), -1);

    heatersim_clear_written();
    EXPECT_EQ(heatersim_written_count(), 0);
}

TEST_F(ExchangeTest, CommandReplyWaitsForTheNextReadOfItsHandle)
{
    Handle heater = PlugAndOpenHeater();
    Handle other = OpenPath(kHeaterPath);
    ASSERT_EQ(Send(heater.get(), CommandReport(0x20, 60)), kHostReportSize);
    StatusReport(heater.get());
    EXPECT_TRUE(ReadReport(other.get()).empty());

    const Bytes reply = ReadReport(heater.get());
    ASSERT_EQ(reply.size(), 64u);
    EXPECT_EQ(reply[0], 0x20);
    EXPECT_TRUE(ReadReport(heater.get()).empty());
}

TEST_F(ExchangeTest, ClosingAHandleDiscardsItsReplies)
{
    Handle heater = PlugAndOpenHeater();
    ASSERT_EQ(Send(heater.get(), CommandReport(0x20, 60)), kHostReportSize);
    heater.reset();
    heater = OpenPath(kHeaterPath);
    EXPECT_TRUE(ReadReport(heater.get()).empty());
}

TEST_F(ExchangeTest, ReadsTakeAtMostTheBuffer)
{
    Handle heater = PlugAndOpenHeater();
    ASSERT_EQ(Send(heater.get(), CommandReport(0x21, 1491559200)), kHostReportSize);
    unsigned char buffer[8] = {};
    EXPECT_EQ(hid_read_timeout(heater.get(), buffer, 3, 1000), 3);
    EXPECT_EQ(buffer[0], 0x21);
    EXPECT_EQ(buffer[3], 0);
    EXPECT_EQ(hid_read_timeout(heater.get(), buffer, sizeof buffer, 1000), 0);
}

TEST_F(ExchangeTest, BlockRequestWithoutReadOutIsNotAnswered)
{
    Handle heater = PlugAndOpenHeater();
    EXPECT_TRUE(Exchange(heater.get(), BlockRequest()).empty());
}

TEST_F(ExchangeTest, WriteFaultFailsWithItsText)
{
    Handle heater = PlugAndOpenHeater();
    heatersim_fail_write(L"Broken pipe");
    EXPECT_EQ(Send(heater.get(), CommandReport(0x20, 45)), -1);
    EXPECT_STREQ(hid_error(heater.get()), L"Broken pipe");
    EXPECT_EQ(heatersim_written_count(), 0);
    EXPECT_EQ(HeaterStatus().setpoint, 60);

    heatersim_fail_write(nullptr);
    EXPECT_EQ(Send(heater.get(), CommandReport(0x20, 45)), kHostReportSize);
    EXPECT_EQ(hid_error(heater.get()), nullptr);
    EXPECT_EQ(HeaterStatus().setpoint, 45);
}

TEST_F(ExchangeTest, ReadFaultFailsEveryReadWithItsText)
{
    Handle heater = PlugAndOpenHeater();
    ASSERT_EQ(Send(heater.get(), CommandReport(0x20, 45)), kHostReportSize);
    heatersim_fail_read(L"Timed out");
    unsigned char buffer[256] = {};
    EXPECT_EQ(hid_read(heater.get(), buffer, sizeof buffer), -1);
    EXPECT_STREQ(hid_error(heater.get()), L"Timed out");
    EXPECT_EQ(hid_read_timeout(heater.get(), buffer, sizeof buffer, 2), -1);
    EXPECT_EQ(hid_get_feature_report(heater.get(), buffer, sizeof buffer), -1);
    EXPECT_STREQ(hid_error(heater.get()), L"Timed out");

    heatersim_fail_read(nullptr);
    EXPECT_EQ(ReadReport(heater.get()).size(), 64u);
}

TEST_F(ExchangeTest, LaggingRepliesNeedEmptyReadsFirst)
{
    Handle heater = PlugAndOpenHeater();
    heatersim_set_reply_lag(2);
    ASSERT_EQ(Send(heater.get(), CommandReport(0x20, 45)), kHostReportSize);
    ASSERT_EQ(Send(heater.get(), CommandReport(0x21, 7)), kHostReportSize);
    EXPECT_TRUE(ReadReport(heater.get()).empty());
    EXPECT_TRUE(ReadReport(heater.get()).empty());
    EXPECT_EQ(ReadReport(heater.get()).at(0), 0x20);
    EXPECT_EQ(ReadReport(heater.get()).at(0), 0x21);
    EXPECT_TRUE(ReadReport(heater.get()).empty());
}

TEST_F(ExchangeTest, SilentHeaterActsButNeverAnswers)
{
    Handle heater = PlugAndOpenHeater();
    const unsigned char record[16] = {1};
    heatersim_set_history(record, 1);
    heatersim_set_silent(1);
    EXPECT_TRUE(Exchange(heater.get(), CommandReport(0x20, 45)).empty());
    EXPECT_TRUE(Exchange(heater.get(), CommandReport(0x02, 0)).empty());
    EXPECT_TRUE(Exchange(heater.get(), BlockRequest()).empty());
    EXPECT_EQ(HeaterStatus().setpoint, 45);
}

TEST_F(ExchangeTest, ScriptedRepliesReplaceTheHeatersUntilTheScriptRunsOut)
{
    Handle heater = PlugAndOpenHeater();
    // A reply of three bytes, an empty read, a reply of 70 announced but cut by the buffer, and
    // a length whose bytes the script no longer holds.
    Bytes script = {3, 0xA1, 0xA2, 0xA3, 0, 70};
    script.insert(script.end(), 70, 0xB0);
    script.insert(script.end(), {9, 0xC1});
    heatersim_set_reply_script(script.data(), static_cast<int>(script.size()));
    EXPECT_EQ(Exchange(heater.get(), CommandReport(0x20, 45)), (Bytes{0xA1, 0xA2, 0xA3}));
    EXPECT_TRUE(ReadReport(heater.get()).empty());
    EXPECT_EQ(StatusReport(heater.get(), kHostReportSize), Bytes(kHostReportSize, 0xB0));
    EXPECT_EQ(ReadReport(heater.get()), Bytes{0xC1});
    unsigned char status[kHostReportSize] = {};
    EXPECT_EQ(hid_read(heater.get(), status, sizeof status), -1);
    EXPECT_EQ(hid_get_feature_report(heater.get(), status, sizeof status), -1);
    EXPECT_EQ(HeaterStatus().setpoint, 45);   // the heater still took the command

    heatersim_set_reply_script(nullptr, 0);
    EXPECT_EQ(StatusReport(heater.get()).size(), 41u);
}

} // namespace
