#include "history/HistoryData.h"

#include <algorithm>

int CompareHistoryData(const THistoryData &L, const THistoryData &R)
{
    if (L.DT < R.DT)
        return -1;
    if (L.DT > R.DT)
        return 1;
    return 0;
}

void THistoryList::Sort()
{
    std::sort(FItems.begin(), FItems.end(), [](const THistoryData &L, const THistoryData &R) {
        return CompareHistoryData(L, R) < 0;
    });
}
