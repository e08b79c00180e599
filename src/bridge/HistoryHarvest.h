#pragma once

// The stored history of the heater that the bridge polls, read into the archive a slice at a
// time right after a poll, so that the polls keep their period: at start, again once a day, and
// anew for another heater or after a read-out that a pulled plug broke off.

#include "bridge/ToolArchive.h"
#include "hid/FHid.h"
#include "history/HistoryData.h"

#include <QDeadlineTimer>
#include <QTextStream>

#include <chrono>
#include <cstdint>
#include <optional>

class THistoryHarvest {
public:
    // Each slice reads for at most SliceMs (the replies owed then are still read).
    THistoryHarvest(TFHid &Hid, TToolArchive &Archive, int SliceMs, QTextStream &Log);

    // The heater at Device answers with serial number SN and nothing else talks to it: the next
    // slice of a read-out that is due.
    void Step(const TFHidDevice &Device, std::int32_t SN);
    // No heater answers.
    void Lost();

    bool Reading() const { return FReading; }

    // The time between the starts of two read-outs of the same heater.
    static constexpr std::chrono::hours Period{24};

private:
    void Begin(const QString &Key);
    void Finish(const QString &Message);

    TFHid &FHid;
    TToolArchive &FArchive;
    int FSliceMs;
    QTextStream &FLog;
    QString FKey;        // the heater of the read-out in progress or the last one
    bool FReading = false;
    bool FUnfinished = false;   // the last read-out broke off
    bool FRetry = false;        // it broke off and the heater went away since: read again when it answers
    QDeadlineTimer FNext;   // when the next read-out of the same heater is due
    std::optional<TDateTime> FOldest;
    int FBlocks = 0;
    int FSamples = 0;
};
