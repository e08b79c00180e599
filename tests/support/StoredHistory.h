#pragma once

// Records for the heater model's stored history, as the heater keeps them.

#include "heatersim.h"
#include "protocol/Encodings.h"

#include <array>
#include <cstdint>
#include <numeric>
#include <vector>

constexpr TDateTime April7 = 42832.0;

using TRecord = std::array<std::uint8_t, 16>;

// A stored record at a time, with a water temperature and an energy; a bad one breaks its sum.
inline TRecord Record(TDateTime DT, int TW = 50, int Energy = 100, bool Bad = false)
{
    TRecord record{};
    const std::uint32_t seconds = DateTimeToDeviceSeconds(DT);
    record[0] = static_cast<std::uint8_t>(seconds >> 24);
    record[1] = static_cast<std::uint8_t>(seconds >> 16);
    record[2] = static_cast<std::uint8_t>(seconds >> 8);
    record[3] = static_cast<std::uint8_t>(seconds);
    record[4] = 124;   // 31 V
    record[7] = 40;    // 10 A
    record[10] = static_cast<std::uint8_t>(TW);
    record[12] = static_cast<std::uint8_t>(Energy >> 8);
    record[13] = static_cast<std::uint8_t>(Energy);
    const std::uint8_t sum = std::accumulate(record.begin(), record.end() - 1, std::uint8_t{0},
                                             [](std::uint8_t A, std::uint8_t B) { return std::uint8_t(A + B); });
    record[15] = static_cast<std::uint8_t>(-sum + (Bad ? 1 : 0));
    return record;
}

// Hourly records back from April 7 12:00, newest first as the heater stores them.
inline std::vector<TRecord> Hourly(int Count)
{
    std::vector<TRecord> records;
    for (int i = 0; i < Count; ++i)
        records.push_back(Record(April7 + 0.5 - i / 24.0, 50, 100 + i));
    return records;
}

inline void Store(const std::vector<TRecord> &Records)
{
    std::vector<std::uint8_t> bytes;
    for (const TRecord &record : Records)
        bytes.insert(bytes.end(), record.begin(), record.end());
    // The model ignores a null list: an empty one is stored as an empty history all the same.
    static const std::uint8_t none = 0;
    heatersim_set_history(bytes.empty() ? &none : bytes.data(), static_cast<int>(Records.size()));
}

