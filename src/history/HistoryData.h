#pragma once

// One sample of the heater's state, and the list of samples that the chart and the exports read.

#include "core/DateTime.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

struct THistoryData {
    TDateTime DT = 0;
    float U1 = 0;
    float U2 = 0;
    float U3 = 0;
    float I1 = 0;
    float I2 = 0;
    float I3 = 0;
    std::int32_t PWM1 = 0;
    std::int32_t PWM2 = 0;
    std::int32_t PWM3 = 0;
    float TW = 0;
    float TB = 0;
    std::int32_t Energy = 0;
    std::int32_t Err = 0;
    float P1 = 0;
    float P2 = 0;
    float P3 = 0;
};

// -1, 0 or 1 as L's time stamp lies before, at or after R's.
int CompareHistoryData(const THistoryData &L, const THistoryData &R);

// Samples held by value, oldest first after a sort; live samples are appended unsorted.
class THistoryList {
public:
    THistoryList() = default;
    // The samples as they stand, taken over rather than copied.
    explicit THistoryList(std::vector<THistoryData> Items) : FItems(std::move(Items)) {}
    int Count() const { return static_cast<int>(FItems.size()); }
    const THistoryData &Items(int Index) const { return FItems.at(static_cast<std::size_t>(Index)); }
    void Add(const THistoryData &Sample)
    {
        FItems.push_back(Sample);
        FArchived.push_back(false);
    }
    // Adds a sample read back from the archive: it gives way to the heater's own copy.
    void AddArchived(const THistoryData &Sample)
    {
        FItems.push_back(Sample);
        FArchived.push_back(true);
    }
    void Sort();
    // Sorts, and drops each archived sample whose time stamp, to the millisecond, the heater
    // delivered again: the list holds it once, as the heater has it now. Samples the heater
    // delivered twice stay twice, and so do equal archived ones.
    void SortMerged();
    void Clear();
    std::span<const THistoryData> Samples() const { return FItems; }
    // Counts the changes other than appending (sorting, emptying): while it stays the same, the
    // samples held before are unchanged and new ones came at the end.
    int Generation() const { return FGeneration; }

    std::vector<THistoryData>::const_iterator begin() const { return FItems.begin(); }
    std::vector<THistoryData>::const_iterator end() const { return FItems.end(); }

private:
    void Rearrange(bool DropRedelivered);

    std::vector<THistoryData> FItems;
    std::vector<bool> FArchived;   // per sample: read back from the archive
    int FGeneration = 0;
};

// True when the water may have stayed below 60 °C for too long: the list spans more than 30
// whole days, and walking from the newest sample back to the first that lies more than 30 whole
// days before it (that one included), no sample reached 60 °C.
bool LegionellaWarning(const THistoryList &History);
