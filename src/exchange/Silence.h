#pragma once

// When a heater that has stopped answering counts as done: a read-out ends on a silence, and a
// slow heater's pauses between replies must never pass for one.

#include <chrono>

class TSilenceWatch {
public:
    using TClock = std::chrono::steady_clock;

    // Reads in a row that found nothing, and how long they must last, before the heater counts
    // as silent. A heater answers within a few tens of milliseconds, more on a busy machine.
    static constexpr int EmptyReads = 1000;
    static constexpr std::chrono::milliseconds Lasting{1000};

    explicit TSilenceWatch(TClock::time_point Start) : FLastHeard(Start) {}

    void Heard(TClock::time_point Now);
    void Missed() { ++FEmptyReads; }
    // EmptyReads reads in a row found nothing, and nothing came for Lasting.
    bool Silent(TClock::time_point Now) const;
    // Nothing came for Lasting, however often it was read.
    bool Lasted(TClock::time_point Now) const { return Now - FLastHeard >= Lasting; }
    // How long the next read may wait: none right after a reply, as the heater may still be at
    // work on requests written before; in a silence, what is left of Lasting spread over the
    // empty reads still to come, so that the last of them ends it and no more requests are
    // written for it than empty reads are needed.
    int ReadWaitMs(TClock::time_point Now) const;
    // What is left of Lasting, for a read that waits for one reply on its way.
    int RemainingMs(TClock::time_point Now) const;

private:
    TClock::time_point FLastHeard;
    int FEmptyReads = 0;
};
