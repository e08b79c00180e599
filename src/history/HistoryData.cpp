#include "history/HistoryData.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

int CompareHistoryData(const THistoryData &L, const THistoryData &R)
{
    if (L.DT < R.DT)
        return -1;
    if (L.DT > R.DT)
        return 1;
    return 0;
}

void THistoryList::Clear()
{
    FItems.clear();
    FArchived.clear();
    ++FGeneration;
}

void THistoryList::Sort()
{
    Rearrange(false);
}

void THistoryList::SortMerged()
{
    Rearrange(true);
}

void THistoryList::Rearrange(bool DropRedelivered)
{
    ++FGeneration;
    // Each time stamp is worked out once: the comparisons of a sort would do it many times over.
    // The order of equal time stamps is the order the samples were added in.
    std::vector<std::pair<long long, std::size_t>> order;
    order.reserve(FItems.size());
    for (std::size_t i = 0; i < FItems.size(); ++i) {
        const TDayAndTime split = SplitDateTime(FItems[i].DT);
        order.emplace_back(split.Day * 86400000LL + split.MSecs, i);
    }
    std::sort(order.begin(), order.end());
    std::vector<THistoryData> items;
    std::vector<bool> archived;
    items.reserve(FItems.size());
    archived.reserve(FItems.size());
    for (std::size_t first = 0; first < order.size();) {
        std::size_t last = first;
        bool delivered = false;   // the heater delivered this millisecond
        for (; last < order.size() && order[last].first == order[first].first; ++last)
            delivered = delivered || !FArchived[order[last].second];
        for (std::size_t i = first; i < last; ++i) {
            const std::size_t index = order[i].second;
            if (DropRedelivered && delivered && FArchived[index])
                continue;
            items.push_back(FItems[index]);
            archived.push_back(FArchived[index]);
        }
        first = last;
    }
    FItems = std::move(items);
    FArchived = std::move(archived);
}

namespace {

constexpr float HotEnough = 60.0f;
constexpr long long LongPeriodDays = 30;

long long WholeDaysBetween(TDateTime A, TDateTime B)
{
    return std::llround(std::fabs(A - B) * MSecsPerDay) / 86400000LL;
}

}

bool LegionellaWarning(const THistoryList &History)
{
    if (History.Count() < 2)
        return false;
    const TDateTime newest = History.Items(History.Count() - 1).DT;
    if (WholeDaysBetween(newest, History.Items(0).DT) <= LongPeriodDays)
        return false;
    for (int index = History.Count() - 1; index >= 0; --index) {
        const THistoryData &sample = History.Items(index);
        if (sample.TW >= HotEnough)
            return false;
        if (WholeDaysBetween(newest, sample.DT) > LongPeriodDays)
            break;
    }
    return true;
}
