#include "Fixtures.h"
#include "protocol/HistoryRecord.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

// A record of the given bytes 0 to 14 with the checksum that makes the sum zero.
TBytes Record(std::initializer_list<std::uint8_t> Bytes)
{
    TBytes record(Bytes);
    record.resize(HistoryRecordSize - 1, 0);
    const std::uint8_t sum = std::accumulate(record.begin(), record.end(), std::uint8_t{0},
                                             [](std::uint8_t A, std::uint8_t B) { return std::uint8_t(A + B); });
    record.push_back(static_cast<std::uint8_t>(-sum));
    return record;
}

// 2017-04-07 12:00:00, 31 V and 10 A on string 1, water -10 °C, board 28 °C, -2 Wh, state 226.
const TBytes Worked = Record({0x58, 0xE7, 0x63, 0x20, 124, 0, 0, 40, 0, 0, 0xF6, 28, 0xFF, 0xFE, 226});

TBytes Join(std::initializer_list<TBytes> Records)
{
    TBytes block;
    for (const TBytes &record : Records)
        block.insert(block.end(), record.begin(), record.end());
    return block;
}

}

TEST(HistoryRecord, DecodesQuartersSignedBytesAndSignedEnergy)
{
    const THistoryData s = DecodeHistoryRecord(Worked, 0, 500);
    EXPECT_DOUBLE_EQ(s.DT, 42832.5);
    EXPECT_EQ(s.U1, 31.0f);
    EXPECT_EQ(s.I1, 10.0f);
    EXPECT_EQ(s.P1, 310.0f);
    EXPECT_EQ(s.TW, -10.0f);
    EXPECT_EQ(s.TB, 28.0f);
    EXPECT_EQ(s.Energy, -2);
    EXPECT_EQ(s.Err, 226);
    EXPECT_EQ(s.PWM1, 0);
    EXPECT_TRUE(HistoryChecksumOk(Worked, 0));
}

TEST(HistoryRecord, PowerIsHeldAtTheCeilingOfTheMode)
{
    const TBytes strong = Record({0x58, 0xE7, 0x63, 0x20, 200, 0, 0, 200});
    EXPECT_EQ(DecodeHistoryRecord(strong, 0, 500).P1, 500.0f);
    EXPECT_EQ(DecodeHistoryRecord(strong, 0, 700).P1, 700.0f);
}

TEST(HistoryRecord, ChecksumAndYearDecideWhatIsKept)
{
    const TBytes ones(HistoryRecordSize, 0xFF);
    const TBytes zeros(HistoryRecordSize, 0x00);
    EXPECT_FALSE(HistoryChecksumOk(ones, 0));   // the sum is 0xF0
    EXPECT_TRUE(HistoryChecksumOk(zeros, 0));
    EXPECT_FALSE(KeptHistorySample(DecodeHistoryRecord(zeros, 0, 500)));   // 1970
    // 2015-12-31 23:59:59 and 2016-01-01 00:00:00 in device seconds.
    EXPECT_FALSE(KeptHistorySample(DecodeHistoryRecord(Record({0x56, 0x85, 0xA5, 0x5F}), 0, 500)));
    EXPECT_TRUE(KeptHistorySample(DecodeHistoryRecord(Record({0x56, 0x85, 0xA5, 0x60}), 0, 500)));
}

TEST(HistoryRecord, BlockLogsEveryRecordAndKeepsTheGoodOnes)
{
    const TBytes zeros(HistoryRecordSize, 0x00);
    const TBytes ones(HistoryRecordSize, 0xFF);
    const THistoryBlock block = DecodeHistoryBlock(Join({Worked, ones, zeros, Worked}), 65, 500, EnGb());
    ASSERT_EQ(block.Samples.size(), 2u);
    EXPECT_EQ(block.BadRecords, 1);
    const QStringList expected = {
        QStringLiteral("Data 07/04/2017 12:00:00: 58 E7 63 20 7C 00 00 28 00 00 F6 1C FF FE E2 A9 res=65"),
        QStringLiteral("Data ChkSum invalid: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF res=65"),
        QStringLiteral("Data 01/01/1970 02:00:00: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 res=65"),
        QStringLiteral("Data 07/04/2017 12:00:00: 58 E7 63 20 7C 00 00 28 00 00 F6 1C FF FE E2 A9 res=65"),
    };
    EXPECT_EQ(block.LogLines, expected);
}

// Only records held in full are read; bytes after 64 are ignored.
TEST(HistoryRecord, ShortAndLongRepliesReadOnlyWholeRecords)
{
    const struct {
        std::size_t Size;
        int Lines;
    } cases[] = {{0, 0}, {15, 0}, {16, 1}, {40, 2}, {63, 3}, {64, 4}, {80, 4}};
    const TBytes full = Join({Worked, Worked, Worked, Worked, Worked});
    for (const auto &c : cases) {
        const TBytes reply(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(c.Size));
        const THistoryBlock block = DecodeHistoryBlock(reply, 64, 500, EnGb());
        EXPECT_EQ(block.LogLines.size(), c.Lines) << c.Size;
        EXPECT_EQ(static_cast<int>(block.Samples.size()), c.Lines) << c.Size;
        EXPECT_EQ(block.BadRecords, 0) << c.Size;
    }
}
