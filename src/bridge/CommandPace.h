#pragma once

// Commands at a pace the heater can take: its memory wears with each write, and a dashboard's
// slider or a flood of messages must not become a write each. Per entity at most one write a
// second, the latest value winning; payloads refused are counted and told once a minute.

#include "bridge/BridgeCommands.h"

#include <QString>

#include <chrono>
#include <map>
#include <optional>
#include <utility>
#include <vector>

using TBridgeClock = std::chrono::steady_clock;

class TCommandPace {
public:
    static constexpr std::chrono::seconds Spacing{1};

    // The command for the entity Name; it replaces one that waits for the same entity.
    void Offer(const QString &Name, const TBridgeCommand &Command);
    // The commands whose entity was last given one at least Spacing ago, taken off the queue.
    std::vector<std::pair<QString, TBridgeCommand>> Due(TBridgeClock::time_point Now);
    // When the first waiting command is due; nothing when none waits.
    std::optional<TBridgeClock::time_point> NextDue() const;
    // Another heater: nothing waits for it.
    void Clear() { FWaiting.clear(); }

private:
    std::map<QString, TBridgeCommand> FWaiting;
    std::map<QString, TBridgeClock::time_point> FGiven;
};

class TRefusalLog {
public:
    static constexpr std::chrono::minutes Period{1};

    // A refused payload, told by Line: the line to log now. The first refusal of a period is told
    // whole, the others are counted; empty when nothing is to be logged.
    QString Refused(const QString &Line, TBridgeClock::time_point Now);
    // The count of refusals not told yet, once their period is over; empty otherwise.
    QString Due(TBridgeClock::time_point Now);

private:
    QString Summary();

    std::optional<TBridgeClock::time_point> FToldAt;
    int FUntold = 0;
    QString FLast;
};
