#pragma once

// When a heater that has stopped answering counts as done: a read-out ends on a silence, and a
// slow heater's pauses between replies must never pass for one.

#include <chrono>
#include <optional>

class TSilenceWatch {
public:
    using TClock = std::chrono::steady_clock;

    // Reads in a row that found nothing, and how long they must last, before the heater counts
    // as silent. Until it has answered at all, a heater is given a second, as it may answer
    // within a few tens of milliseconds, more on a busy machine; once its pace is known, a few
    // times the longest wait for a reply seen, up to that second: a heater that answers at once
    // is done after the empty reads alone.
    static constexpr int EmptyReads = 1000;
    static constexpr std::chrono::milliseconds Lasting{1000};
    static constexpr int LatencyMultiple = 5;

    // Latency: the longest wait for a reply this heater was seen to need before, if any.
    explicit TSilenceWatch(TClock::time_point Start, std::optional<TClock::duration> Latency = {})
        : FLastHeard(Start), FLatency(Latency)
    {
    }

    void Heard(TClock::time_point Now);
    void Missed() { ++FEmptyReads; }
    // EmptyReads reads in a row found nothing, and nothing came for the silence's length.
    bool Silent(TClock::time_point Now) const;
    // Nothing came for the silence's length, however often it was read.
    bool Lasted(TClock::time_point Now) const { return Now - FLastHeard >= Length(); }
    // How long the next read may wait: none right after a reply, as the heater may still be at
    // work on requests written before; in a silence, what is left of it spread over the empty
    // reads still to come, so that the last of them ends it and no more requests are written
    // for it than empty reads are needed.
    int ReadWaitMs(TClock::time_point Now) const;
    // What is left of the silence, for a read that waits for one reply on its way.
    int RemainingMs(TClock::time_point Now) const;
    // The longest wait between two replies (or before the first) seen, this watch's and before.
    std::optional<TClock::duration> Latency() const { return FLatency; }
    // How long nothing must come for the heater to count as silent.
    TClock::duration Length() const;

private:
    TClock::time_point FLastHeard;
    std::optional<TClock::duration> FLatency;
    int FEmptyReads = 0;
};
