#include "bridge/StatePublication.h"

#include "bridge/StatusJson.h"

#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace {

// An unchanged state goes out again after this long, unless the interval is longer.
constexpr std::chrono::minutes Refresh{1};

// The state without what changes at every poll.
QJsonObject Content(QJsonObject State)
{
    State.remove(QStringLiteral("time"));
    State.remove(QStringLiteral("clock"));
    return State;
}

}

TStatePublication::TStatePublication(std::chrono::milliseconds Interval) : FInterval(Interval) {}

std::optional<QByteArray> TStatePublication::Next(const TCurrentData &Reading, TClock::time_point Now)
{
    const QJsonObject state = StatusJson(Guarded(Reading));
    FLatest = QJsonDocument(state).toJson(QJsonDocument::Compact);
    const QJsonObject content = Content(state);
    const auto since = FPublishedAt ? Now - *FPublishedAt : TClock::duration::max();
    const bool due = FHurry || !FPublishedAt
                     || content.value(QStringLiteral("status_code")) != FPublished.value(QStringLiteral("status_code"))
                     || (content != FPublished && since >= FInterval) || since >= RefreshPeriod();
    if (!due)
        return std::nullopt;
    FHurry = false;
    FPublished = content;
    FPublishedAt = Now;
    return FLatest;
}

void TStatePublication::Reset()
{
    *this = TStatePublication(FInterval);
}

std::chrono::milliseconds TStatePublication::RefreshPeriod() const
{
    return std::max<std::chrono::milliseconds>(FInterval, Refresh);
}

// Three refreshes may be lost before a value goes stale.
std::chrono::seconds TStatePublication::ExpireAfter() const
{
    return std::chrono::ceil<std::chrono::seconds>(3 * RefreshPeriod());
}

// The heater's counter as the day's rule reads it: a single lower reading (a glitch) is held
// back, a lower one that the next confirms (the heater restarted) goes out, and Home Assistant
// counts its fall as a new cycle of the meter, as at midnight. The heater's next date starts a
// counter of its own.
TCurrentData TStatePublication::Guarded(TCurrentData Reading)
{
    const int day = static_cast<int>(std::floor(Reading.Sample.DT));
    if (FEnergyDay != day) {
        FEnergyDay = day;
        FEnergy = {};
    }
    FEnergy.Add(Reading.Sample.Energy);
    Reading.Sample.Energy = static_cast<std::int32_t>(FEnergy.Reading());
    return Reading;
}
