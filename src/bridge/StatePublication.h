#pragma once

// When the bridge publishes the heater's state: a recorder should get a row when something
// changed, not every poll. A changed status code goes out at once, other changes at most every
// interval, and an unchanged state again after a while so that its sensors do not go stale.

#include "history/DayEnergy.h"
#include "protocol/StatusReport.h"

#include <QByteArray>
#include <QJsonObject>

#include <chrono>
#include <optional>

class TStatePublication {
public:
    using TClock = std::chrono::steady_clock;

    explicit TStatePublication(std::chrono::milliseconds Interval);

    // The state of this poll's reading, to publish now; nothing when it waits.
    std::optional<QByteArray> Next(const TCurrentData &Reading, TClock::time_point Now);
    // The latest state, published or not; nothing before the first reading.
    const std::optional<QByteArray> &Latest() const { return FLatest; }
    // The next reading's state goes out at once (a command changed the heater).
    void Hurry() { FHurry = true; }
    // Another heater: nothing of the last one's state counts.
    void Reset();

    // How long an unchanged state waits, and how long Home Assistant keeps a value without one.
    std::chrono::milliseconds RefreshPeriod() const;
    std::chrono::seconds ExpireAfter() const;

private:
    TCurrentData Guarded(TCurrentData Reading);

    std::chrono::milliseconds FInterval;
    std::optional<QByteArray> FLatest;
    QJsonObject FPublished;   // the last published state without its time stamps
    std::optional<TClock::time_point> FPublishedAt;
    bool FHurry = false;
    std::optional<int> FEnergyDay;   // the heater's date of the counter below
    TDayEnergyCounter FEnergy;
};
