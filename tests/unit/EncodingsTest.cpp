#include "protocol/Encodings.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// The report as it goes out: the given head, then zeros up to the full size.
TBytes Padded(TBytes Head)
{
    Head.resize(OutputReportSize, 0);
    return Head;
}

}

TEST(Encodings, CommandReportsAreBigEndianTwosComplementPadded)
{
    const struct {
        std::uint8_t Command;
        std::int32_t Value;
        TBytes Head;
    } cases[] = {
        {0x21, 1491559200, {0x00, 0x21, 0x58, 0xE7, 0x63, 0x20}},
        {0x31, -1, {0x00, 0x31, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0x22, 0xFFF000, {0x00, 0x22, 0x00, 0xFF, 0xF0, 0x00}},
        {0x20, 60, {0x00, 0x20, 0x00, 0x00, 0x00, 0x3C}},
        {0x2F, 17131001, {0x00, 0x2F, 0x01, 0x05, 0x65, 0xF9}},
        {0x40, 0, {0x00, 0x40, 0x00, 0x00, 0x00, 0x00}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CommandReport(c.Command, c.Value), Padded(c.Head)) << int(c.Command) << " " << c.Value;
    EXPECT_EQ(BlockRequest(), Padded({0x00, 0x10}));
}

TEST(Encodings, MemoryReadAndTextReports)
{
    EXPECT_EQ(MemoryReadRequest(0xFFF000, 100), Padded({0x00, 0x02, 0x00, 0xFF, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x64}));
    EXPECT_EQ(TextReport(QString()), Padded({0x00}));
    EXPECT_EQ(TextReport(QStringLiteral("Aé")), Padded({0x00, 0x41, 0xE9}));
    const TBytes longText = TextReport(QString(70, QLatin1Char('x')));
    ASSERT_EQ(longText.size(), 65u);
    EXPECT_EQ(longText[64], 'x');
}

TEST(Encodings, ReadersTakeBytesUnsignedAndSignExtendShorts)
{
    EXPECT_EQ(ReadU32BE({0x58, 0xE7, 0x63, 0x20}, 0), 1491559200u);
    EXPECT_EQ(ReadU32BE({0x00, 0xFF, 0xFF, 0xFF, 0xFE}, 1), 0xFFFFFFFEu);
    const struct {
        TBytes Data;
        std::int32_t Value;
    } shorts[] = {{{0xFF, 0xFE}, -2}, {{0x01, 0x2C}, 300}, {{0x80, 0x00}, -32768}, {{0x7F, 0xFF}, 32767}};
    for (const auto &c : shorts)
        EXPECT_EQ(ReadI16BE(c.Data, 0), c.Value);
}

TEST(Encodings, ReadersNeverReadPastTheEnd)
{
    const TBytes three = {1, 2, 3};
    EXPECT_THROW(ReadU32BE(three, 0), std::out_of_range);
    EXPECT_THROW(ReadI16BE(three, 2), std::out_of_range);
    EXPECT_THROW(ReadI16BE(three, -1), std::out_of_range);
    EXPECT_THROW(ReadU8(three, 3), std::out_of_range);
    EXPECT_THROW(ReadU32BE({}, 0), std::out_of_range);
    EXPECT_EQ(ReadU8(three, 2), 3);
}

TEST(Encodings, DeviceSecondsCountFromTwoInTheMorningOf1970)
{
    EXPECT_EQ(DeviceSecondsToDateTime(0), 25569.0 + 7200.0 / 86400.0);
    EXPECT_EQ(DeviceSecondsToDateTime(1491559200), 42832.5);
    // Adding the two hours wraps in 32 bits.
    EXPECT_EQ(DeviceSecondsToDateTime(INT32_MAX), (INT32_MIN + 7199) / 86400.0 + 25569.0);

    const struct {
        double Day;
        std::uint32_t Seconds;
    } cases[] = {
        {42832.5, 1491559200u},              // 2017-04-07 12:00:00
        {42736.0, 1483221600u},              // 2017-01-01 00:00:00
        {42832.416666666664, 1491551999u},   // 10:00:00 held a hair below: the second before
        {25569.0, 4294960096u},              // 1970-01-01 00:00:00 is -7200
    };
    for (const auto &c : cases)
        EXPECT_EQ(DateTimeToDeviceSeconds(c.Day), c.Seconds) << c.Day;
}

TEST(Encodings, HexTextHasTwoUpperCaseDigitsPerByte)
{
    EXPECT_EQ(BytesToHex({0x00, 0x21, 0x58, 0xE7}), QStringLiteral("00 21 58 E7"));
    EXPECT_EQ(BytesToHex({0x0A}), QStringLiteral("0A"));
    EXPECT_EQ(BytesToHex({}), QString());
}
