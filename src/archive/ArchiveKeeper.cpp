#include "archive/ArchiveKeeper.h"

#include <algorithm>
#include <utility>

TArchiveKeeper::TArchiveKeeper(QString Location, TOpen Open, TChanged Changed, TClock::time_point Now)
    : FLocation(std::move(Location)), FOpen(std::move(Open)), FChanged(std::move(Changed)), FNextTry(Now)
{
    Attempt(Now);
}

void TArchiveKeeper::Store(const QString &Serial, std::span<const THistoryData> Samples, TClock::time_point Now)
{
    if (Samples.empty())
        return;
    // Samples of the same heater join the batch before them: one transaction stores them.
    if (!FWaiting.empty() && FWaiting.back().Serial == Serial)
        FWaiting.back().Samples.insert(FWaiting.back().Samples.end(), Samples.begin(), Samples.end());
    else
        FWaiting.push_back({Serial, std::vector<THistoryData>(Samples.begin(), Samples.end())});
    if (Due(Now))
        Attempt(Now);
}

void TArchiveKeeper::Retry(TClock::time_point Now)
{
    if ((!FArchive || !FWaiting.empty()) && Due(Now))
        Attempt(Now);
}

void TArchiveKeeper::Failed(const std::exception &Error, TClock::time_point Now)
{
    FArchive.reset();
    FWait = FWait.count() == 0 ? FirstWait : std::min(FWait * 2, LongestWait);
    FNextTry = Now + FWait;
    SetState(QStringLiteral("failing: ") + QString::fromUtf8(Error.what()));
}

std::size_t TArchiveKeeper::Waiting() const
{
    std::size_t count = 0;
    for (const TBatch &batch : FWaiting)
        count += batch.Samples.size();
    return count;
}

// Each batch leaves the queue only once stored: a failure half-way keeps it and those after it.
void TArchiveKeeper::Attempt(TClock::time_point Now)
{
    try {
        if (!FArchive)
            FArchive = FOpen();
        while (!FWaiting.empty()) {
            FArchive->Store(FWaiting.front().Serial, FWaiting.front().Samples);
            FWaiting.erase(FWaiting.begin());
        }
    } catch (const std::exception &Error) {
        Failed(Error, Now);
        return;
    }
    FWait = std::chrono::milliseconds(0);
    SetState(OkState());
}

void TArchiveKeeper::SetState(const QString &State)
{
    if (State == FState)
        return;
    FState = State;
    if (FChanged)
        FChanged(FState);
}
