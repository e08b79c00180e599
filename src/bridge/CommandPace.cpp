#include "bridge/CommandPace.h"

void TCommandPace::Offer(const QString &Name, const TBridgeCommand &Command)
{
    FWaiting.insert_or_assign(Name, Command);
}

std::vector<std::pair<QString, TBridgeCommand>> TCommandPace::Due(TBridgeClock::time_point Now)
{
    std::vector<std::pair<QString, TBridgeCommand>> due;
    for (auto waiting = FWaiting.begin(); waiting != FWaiting.end();) {
        const auto given = FGiven.find(waiting->first);
        if (given != FGiven.end() && Now - given->second < Spacing) {
            ++waiting;
            continue;
        }
        FGiven.insert_or_assign(waiting->first, Now);
        due.emplace_back(waiting->first, waiting->second);
        waiting = FWaiting.erase(waiting);
    }
    return due;
}

std::optional<TBridgeClock::time_point> TCommandPace::NextDue() const
{
    std::optional<TBridgeClock::time_point> next;
    for (const auto &[name, command] : FWaiting) {
        const auto given = FGiven.find(name);
        const TBridgeClock::time_point due = given == FGiven.end() ? TBridgeClock::time_point() : given->second + Spacing;
        if (!next || due < *next)
            next = due;
    }
    return next;
}

QString TRefusalLog::Refused(const QString &Line, TBridgeClock::time_point Now)
{
    if (FToldAt && Now - *FToldAt < Period) {
        ++FUntold;
        FLast = Line;
        return {};
    }
    const QString summary = Summary();
    FToldAt = Now;
    return summary.isEmpty() ? Line : summary + QLatin1Char('\n') + Line;
}

QString TRefusalLog::Due(TBridgeClock::time_point Now)
{
    if (FUntold == 0 || Now - *FToldAt < Period)
        return {};
    FToldAt = Now;
    return Summary();
}

QString TRefusalLog::Summary()
{
    if (FUntold == 0)
        return {};
    const QString summary = QStringLiteral("%1 more command payloads ignored within a minute; the last: %2").arg(FUntold).arg(FLast);
    FUntold = 0;
    FLast.clear();
    return summary;
}
