#include "history/ChartData.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <type_traits>

namespace {

constexpr TDateTime UnixEpochDay = 25569.0;     // 1970-01-01
constexpr TDateTime FirstChartedDay = 42370.0;  // 2016-01-01: older time stamps are not drawn
constexpr double SecondsPerDay = 86400.0;
constexpr double NowMargin = 300.0;             // seconds either side of the present moment
constexpr double LastMillisecond = 0.001;       // seconds
// A column holding more points than this is drawn from its first, least, greatest and last.
constexpr std::size_t PointsKeptWhole = 4;
// More samples appended at once than this are taken by starting again, in one sort, rather than
// each to its place.
constexpr int FoldedOneByOne = 1000;

// Midnight of the date-time's day. Before day zero the fraction is still the time of day, so
// the whole-day part is the integer part, not the floor.
TDateTime MidnightOf(TDateTime Value)
{
    return std::trunc(Value);
}

// Whether the year of the time stamp is 2016 or later. The date is worked out only in the day
// before 2016-01-01, where rounding to the millisecond can still carry into the new year.
bool IsCharted(TDateTime Value)
{
    if (Value >= FirstChartedDay)
        return true;
    if (Value >= FirstChartedDay - 1)
        return YearOf(Value) >= 2016;
    return false;
}

void Add(TChartSeries &Series, double Key, double Value)
{
    Series.Keys.push_back(Key);
    Series.Values.push_back(Value);
}

std::array<float, ChartLineCount> LineValues(const THistoryData &Sample, float Ceiling)
{
    return {static_cast<float>(Sample.Energy),
            std::min(Sample.P1, Ceiling),
            std::min(Sample.P2, Ceiling),
            std::min(Sample.P3, Ceiling),
            Sample.TW,
            static_cast<float>(Sample.PWM1),
            static_cast<float>(Sample.PWM2),
            static_cast<float>(Sample.PWM3),
            Sample.U1,
            Sample.U2,
            Sample.U3};
}

TKeyRange DayRange(TDateTime FirstDay, TDateTime EndDay, double EndMargin)
{
    return {ChartKey(FirstDay), ChartKey(EndDay) - EndMargin};
}

}   // namespace

double ChartKey(TDateTime Value)
{
    return (Value - UnixEpochDay) * SecondsPerDay;
}

TDateTime ChartKeyToDateTime(double Key)
{
    return Key / SecondsPerDay + UnixEpochDay;
}

TChartModel::TChartModel(float MaxStringPower) : FCeiling(MaxStringPower) {}

void TChartModel::Sync(const THistoryList &History)
{
    const bool appended = History.Generation() == FGeneration && History.Count() >= FSynced;
    if (!appended || History.Count() - FSynced > FoldedOneByOne) {
        Restart(History);
        return;
    }
    for (int index = FSynced; index < History.Count(); ++index)
        Fold(History.Items(index), false);
    FSynced = History.Count();
}

// The list is taken in whole: appended in list order, then put in key order at once if it was
// not in it (a download cut short by an error leaves the list unsorted).
void TChartModel::Restart(const THistoryList &History)
{
    FGeneration = History.Generation();
    FSynced = 0;
    FKeys.clear();
    for (std::vector<float> &values : FValues)
        values.clear();
    FClosedBars = TChartSeries{};
    FTrackedDay = FirstChartedDay;
    FLastEnergy = 0;
    FKeys.reserve(static_cast<std::size_t>(History.Count()));
    for (std::vector<float> &values : FValues)
        values.reserve(static_cast<std::size_t>(History.Count()));
    for (const THistoryData &sample : History)
        Fold(sample, true);
    FSynced = History.Count();
    if (!std::is_sorted(FKeys.begin(), FKeys.end()))
        SortByKey();
}

void TChartModel::SortByKey()
{
    std::vector<std::size_t> order(FKeys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [this](std::size_t L, std::size_t R) { return FKeys[L] < FKeys[R]; });
    const auto permuted = [&order](const auto &Values) {
        std::remove_cvref_t<decltype(Values)> result;
        result.reserve(Values.size());
        for (std::size_t index : order)
            result.push_back(Values[index]);
        return result;
    };
    FKeys = permuted(FKeys);
    for (std::vector<float> &values : FValues)
        values = permuted(values);
}

void TChartModel::Fold(const THistoryData &Sample, bool AtEnd)
{
    FLastDT = Sample.DT;
    if (!IsCharted(Sample.DT))
        return;
    Insert(Sample, AtEnd);
    // A new day closes the tracked one with the energy of its last sample.
    if (Sample.DT - FTrackedDay >= 1.0) {
        if (FLastEnergy > 0)
            Add(FClosedBars, ChartKey(FTrackedDay), FLastEnergy);
        FTrackedDay = MidnightOf(Sample.DT);
    }
    FLastEnergy = Sample.Energy;
}

// Live samples come in key order but for the odd one dated back (a clock set back): that one
// goes to its place.
void TChartModel::Insert(const THistoryData &Sample, bool AtEnd)
{
    const double key = ChartKey(Sample.DT);
    const auto at = AtEnd ? FKeys.end() - FKeys.begin()
                          : std::upper_bound(FKeys.begin(), FKeys.end(), key) - FKeys.begin();
    FKeys.insert(FKeys.begin() + at, key);
    const std::array<float, ChartLineCount> values = LineValues(Sample, FCeiling);
    for (std::size_t line = 0; line < ChartLineCount; ++line)
        FValues[line].insert(FValues[line].begin() + at, values[line]);
}

TChartSeries TChartModel::Points(TChartLine Line) const
{
    const std::vector<float> &values = FValues[static_cast<std::size_t>(Line)];
    return {FKeys, std::vector<double>(values.begin(), values.end())};
}

TChartColumns TChartModel::Columns(TKeyRange Range, int Width) const
{
    TChartColumns columns;
    columns.Begin = static_cast<std::size_t>(std::lower_bound(FKeys.begin(), FKeys.end(), Range.Lower) - FKeys.begin());
    columns.End = static_cast<std::size_t>(std::upper_bound(FKeys.begin(), FKeys.end(), Range.Upper) - FKeys.begin());
    columns.End = std::max(columns.End, columns.Begin);
    const double span = Range.Upper - Range.Lower;
    if (!(span > 0) || Width <= 0) {
        columns.Starts = {columns.Begin, columns.End};
        return columns;
    }
    // The same sum as the chart's own key-to-pixel mapping, so that the columns are its pixels.
    const auto column = [&](double Key) { return std::floor((Key - Range.Lower) / span * Width); };
    const auto end = FKeys.begin() + static_cast<std::ptrdiff_t>(columns.End);
    for (std::size_t start = columns.Begin; start < columns.End;) {
        columns.Starts.push_back(start);
        const double current = column(FKeys[start]);
        start = static_cast<std::size_t>(
            std::partition_point(FKeys.begin() + static_cast<std::ptrdiff_t>(start), end,
                                 [&](double Key) { return column(Key) <= current; })
            - FKeys.begin());
    }
    columns.Starts.push_back(columns.End);
    return columns;
}

TReducedLine TChartModel::Reduced(TChartLine Line, const TChartColumns &Columns) const
{
    const std::vector<float> &values = FValues[static_cast<std::size_t>(Line)];
    TReducedLine reduced;
    TChartSeries &points = reduced.Points;
    if (Columns.Begin > 0 && Columns.Begin <= FKeys.size())
        Add(points, FKeys[Columns.Begin - 1], values[Columns.Begin - 1]);
    for (std::size_t c = 0; c + 1 < Columns.Starts.size(); ++c) {
        const std::size_t first = Columns.Starts[c];
        const std::size_t end = Columns.Starts[c + 1];
        if (first >= end)
            continue;
        float least = values[first];
        float greatest = values[first];
        for (std::size_t i = first + 1; i < end; ++i) {
            least = std::min(least, values[i]);
            greatest = std::max(greatest, values[i]);
        }
        reduced.Min = reduced.HasValues ? std::min<double>(reduced.Min, least) : least;
        reduced.Max = reduced.HasValues ? std::max<double>(reduced.Max, greatest) : greatest;
        reduced.HasValues = true;
        if (end - first <= PointsKeptWhole) {
            for (std::size_t i = first; i < end; ++i)
                Add(points, FKeys[i], values[i]);
            continue;
        }
        // Within one pixel column the chart draws the same: the line comes in at the first
        // value, spans the least to the greatest and leaves at the last.
        const double from = FKeys[first];
        const double to = FKeys[end - 1];
        Add(points, from, values[first]);
        Add(points, from + (to - from) / 3, least);
        Add(points, from + 2 * (to - from) / 3, greatest);
        Add(points, to, values[end - 1]);
    }
    if (Columns.End < FKeys.size())
        Add(points, FKeys[Columns.End], values[Columns.End]);
    return reduced;
}

TChartSeries TChartModel::Bars() const
{
    TChartSeries bars = FClosedBars;
    if (FSynced > 0)
        Add(bars, ChartKey(MidnightOf(FLastDT)), FLastEnergy);
    return bars;
}

QString ChartTitle(const THistoryList &History, TLanguage Language, const TLocaleFormats &Formats)
{
    if (History.Count() == 0)
        return QString();
    const QString ddddd = QStringLiteral("ddddd");
    return TranslateText(Language, QStringLiteral("schartTitle")) + QStringLiteral(": ")
        + FormatDateTime(Formats, ddddd, History.Items(0).DT) + QStringLiteral(" - ")
        + FormatDateTime(Formats, ddddd, History.Items(History.Count() - 1).DT);
}

QString ChartLabelPattern(TKeyRange Range)
{
    const long long span = std::llround(std::fabs(Range.Upper - Range.Lower) * 1000.0);
    if (span / 31557600000LL >= 3)
        return QStringLiteral("yyyy");
    if (span / 2629800000LL >= 2)
        return QStringLiteral("mmm yyyy");
    if (span / 86400000LL >= 2)
        return QStringLiteral("ddddd");
    if (span / 60000LL >= 11)
        return QStringLiteral("hh:nn");
    return QStringLiteral("hh:nn:ss");
}

TKeyRange NowRange(TDateTime Now)
{
    return {ChartKey(Now) - NowMargin, ChartKey(Now) + NowMargin};
}

TKeyRange TodayRange(TDateTime Now)
{
    const TDateTime today = MidnightOf(Now);
    return DayRange(today, today + 1, 0);
}

TKeyRange ThisWeekRange(TDateTime Now)
{
    const TDateTime monday = MidnightOf(Now) - (DateTimeToQt(Now).date().dayOfWeek() - 1);
    return DayRange(monday, monday + 7, LastMillisecond);
}

TKeyRange ThisMonthRange(TDateTime Now)
{
    const QDate date = DateTimeToQt(Now).date();
    const TDateTime first = MidnightOf(Now) - (date.day() - 1);
    return DayRange(first, first + date.daysInMonth(), LastMillisecond);
}

TKeyRange ThisYearRange(TDateTime Now)
{
    const QDate date = DateTimeToQt(Now).date();
    const TDateTime first = MidnightOf(Now) - (date.dayOfYear() - 1);
    return DayRange(first, first + date.daysInYear(), LastMillisecond);
}

std::optional<TDateTime> OldestCharted(std::span<const THistoryData> Samples)
{
    std::optional<TDateTime> oldest;
    for (const THistoryData &sample : Samples) {
        if (IsCharted(sample.DT) && (!oldest || sample.DT < *oldest))
            oldest = sample.DT;
    }
    return oldest;
}

TKeyRange DownloadedRange(TDateTime Oldest, TDateTime Now)
{
    return {ChartKey(MidnightOf(Oldest)), ChartKey(Now)};
}

TKeyRange PanWithinData(TKeyRange Proposed, TKeyRange Previous, double FirstKey, double LastKey)
{
    const double lowest = std::min(FirstKey, Previous.Lower);
    const double highest = std::max(LastKey, Previous.Upper);
    double shift = 0;
    if (Proposed.Lower < lowest)
        shift = lowest - Proposed.Lower;
    else if (Proposed.Upper > highest)
        shift = highest - Proposed.Upper;
    return {Proposed.Lower + shift, Proposed.Upper + shift};
}

int BarAt(const TChartSeries &Bars, double Key, double Value)
{
    for (std::size_t i = 0; i < Bars.Keys.size(); ++i) {
        const double height = Bars.Values[i];
        const bool across = Key >= Bars.Keys[i] && Key <= Bars.Keys[i] + DayBarWidth;
        const bool up = height >= 0 ? Value >= 0 && Value <= height : Value <= 0 && Value >= height;
        if (across && up)
            return static_cast<int>(i);
    }
    return -1;
}
