#include "protocol/HistoryRecord.h"

#include "protocol/Encodings.h"
#include "protocol/StatusReport.h"

#include <algorithm>

namespace {

constexpr int FirstKeptYear = 2016;

float Quarters(const TBytes &Block, int Pos)
{
    return static_cast<float>(ReadU8(Block, Pos) / 4.0);
}

float SignedByte(const TBytes &Block, int Pos)
{
    return static_cast<float>(static_cast<std::int8_t>(ReadU8(Block, Pos)));
}

TBytes RecordBytes(const TBytes &Block, int Pos)
{
    return TBytes(Block.begin() + Pos, Block.begin() + Pos + HistoryRecordSize);
}

}

bool HistoryChecksumOk(const TBytes &Block, int Pos)
{
    std::uint8_t sum = 0;
    for (int i = 0; i < HistoryRecordSize; ++i)
        sum = static_cast<std::uint8_t>(sum + ReadU8(Block, Pos + i));
    return sum == 0;
}

THistoryData DecodeHistoryRecord(const TBytes &Block, int Pos, float MaxStringPower)
{
    THistoryData sample;
    sample.DT = DeviceSecondsToDateTime(static_cast<std::int32_t>(ReadU32BE(Block, Pos)));
    sample.U1 = Quarters(Block, Pos + 4);
    sample.U2 = Quarters(Block, Pos + 5);
    sample.U3 = Quarters(Block, Pos + 6);
    sample.I1 = Quarters(Block, Pos + 7);
    sample.I2 = Quarters(Block, Pos + 8);
    sample.I3 = Quarters(Block, Pos + 9);
    sample.P1 = StringPower(sample.U1, sample.I1, MaxStringPower);
    sample.P2 = StringPower(sample.U2, sample.I2, MaxStringPower);
    sample.P3 = StringPower(sample.U3, sample.I3, MaxStringPower);
    sample.TW = SignedByte(Block, Pos + 10);
    sample.TB = SignedByte(Block, Pos + 11);
    sample.Energy = ReadI16BE(Block, Pos + 12);
    sample.Err = ReadU8(Block, Pos + 14);
    return sample;
}

bool KeptHistorySample(const THistoryData &Sample)
{
    return YearOf(Sample.DT) >= FirstKeptYear;
}

THistoryBlock DecodeHistoryBlock(const TBytes &Reply, int Res, float MaxStringPower, const TLocaleFormats &Formats)
{
    THistoryBlock block;
    const int records = std::min<int>(HistoryRecordsPerBlock, static_cast<int>(Reply.size()) / HistoryRecordSize);
    const QString res = QStringLiteral(" res=%1").arg(Res);
    for (int record = 0; record < records; ++record) {
        const int pos = record * HistoryRecordSize;
        const QString hex = BytesToHex(RecordBytes(Reply, pos));
        if (!HistoryChecksumOk(Reply, pos)) {
            block.LogLines << QStringLiteral("Data ChkSum invalid: ") + hex + res;
            ++block.BadRecords;
            continue;
        }
        const THistoryData sample = DecodeHistoryRecord(Reply, pos, MaxStringPower);
        if (KeptHistorySample(sample))
            block.Samples.push_back(sample);
        block.LogLines << QStringLiteral("Data ") + FormatDateTime(Formats, QStringLiteral("c"), sample.DT)
                + QStringLiteral(": ") + hex + res;
    }
    return block;
}
