#include "exchange/Silence.h"

#include <algorithm>

void TSilenceWatch::Heard(TClock::time_point Now)
{
    FLatency = std::max(FLatency.value_or(TClock::duration::zero()), Now - FLastHeard);
    FLastHeard = Now;
    FEmptyReads = 0;
}

TSilenceWatch::TClock::duration TSilenceWatch::Length() const
{
    if (!FLatency)
        return Lasting;
    return std::min<TClock::duration>(*FLatency * LatencyMultiple, Lasting);
}

bool TSilenceWatch::Silent(TClock::time_point Now) const
{
    return FEmptyReads >= EmptyReads && Lasted(Now);
}

int TSilenceWatch::RemainingMs(TClock::time_point Now) const
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(Length() - (Now - FLastHeard));
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

int TSilenceWatch::ReadWaitMs(TClock::time_point Now) const
{
    if (FEmptyReads == 0)
        return 0;
    const int readsLeft = std::max(EmptyReads - FEmptyReads, 1);
    return (RemainingMs(Now) + readsLeft - 1) / readsLeft;
}
