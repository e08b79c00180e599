#include "Records.h"

#include "Bytes.h"

#include <numeric>

namespace heatersim {

namespace {

std::uint8_t Checksum(const Record &record)
{
    const unsigned sum = std::accumulate(record.begin(), record.end() - 1, 0u);
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

} // namespace

Record EncodeRecord(const Sample &sample)
{
    const Moment &moment = sample.moment;
    Record record{};
    PutU32(&record[0], DeviceSeconds(sample.wallSeconds));
    for (int string = 0; string < 3; ++string) {
        record[4 + string] = RoundInto<std::uint8_t>(moment.voltage[string] * 4);
        record[7 + string] = RoundInto<std::uint8_t>(moment.current[string] * 4);
    }
    record[10] = static_cast<std::uint8_t>(RoundInto<std::int8_t>(moment.water));
    record[11] = static_cast<std::uint8_t>(RoundInto<std::int8_t>(moment.board));
    PutU16(&record[12], static_cast<std::uint16_t>(RoundInto<std::int16_t>(moment.energy)));
    record[14] = RoundInto<std::uint8_t>(moment.state);
    record[15] = Checksum(record);
    return record;
}

std::vector<Record> EncodeRecords(const std::vector<Sample> &samples)
{
    std::vector<Record> records;
    records.reserve(samples.size());
    for (const Sample &sample : samples) {
        records.push_back(EncodeRecord(sample));
    }
    return records;
}

} // namespace heatersim
