#pragma once

// What the history chart draws, kept beside the history list: the line series in key order, the
// day bars, and for any visible range the few points per pixel column that draw each line as all
// of its points would. The window hands these vectors to its chart series as they are.

#include "core/DateTime.h"
#include "core/LocaleFormats.h"
#include "history/HistoryData.h"
#include "i18n/Language.h"

#include <QString>

#include <array>
#include <optional>
#include <cstddef>
#include <span>
#include <vector>

// The chart's bottom axis counts seconds since 1970-01-01 00:00 UTC. A date-time's wall-clock
// fields are taken as UTC, so an axis whose labels are drawn in UTC shows the local wall-clock
// time of the samples, and no local time is skipped or doubled at a daylight-saving change.
// A day bar covers 95 % of its day, in chart keys (seconds).
constexpr double DayBarWidth = 0.95 * 86400.0;

double ChartKey(TDateTime Value);
TDateTime ChartKeyToDateTime(double Key);

// One series: point N is at X = Keys[N], Y = Values[N].
struct TChartSeries {
    std::vector<double> Keys;
    std::vector<double> Values;
};

// The line series, in the chart's order.
enum class TChartLine { Energy, P1, P2, P3, TW, PWM1, PWM2, PWM3, U1, U2, U3 };
constexpr std::size_t ChartLineCount = 11;

struct TKeyRange {
    double Lower = 0;
    double Upper = 0;
};

// The points that draw one line over a visible range, and the least and greatest of its values
// inside the range (none when no point lies inside).
struct TReducedLine {
    TChartSeries Points;
    bool HasValues = false;
    double Min = 0;
    double Max = 0;
};

// Where the pixel columns of a visible range begin among the charted samples in key order.
struct TChartColumns {
    std::vector<std::size_t> Starts;   // one per column that holds samples, then the end
    std::size_t Begin = 0;             // first sample inside the range
    std::size_t End = 0;               // one past the last sample inside the range
};

class TChartModel {
public:
    // String powers above MaxStringPower are drawn at MaxStringPower.
    explicit TChartModel(float MaxStringPower);

    // Brings the model up to the list: folds in what was appended since the last call, or starts
    // again when the list was sorted or emptied in between. Only samples from 2016 on are charted.
    void Sync(const THistoryList &History);

    std::size_t Count() const { return FKeys.size(); }
    // The keys of the oldest and newest charted samples; Count() must not be 0.
    double FirstKey() const { return FKeys.front(); }
    double LastKey() const { return FKeys.back(); }

    // Every point of a line in key order: what a chart given all of them draws.
    TChartSeries Points(TChartLine Line) const;

    // The columns of a range drawn Width pixels wide: column c holds the keys whose pixel,
    // (Key - Lower) / (Upper - Lower) * Width, rounds down to c.
    TChartColumns Columns(TKeyRange Range, int Width) const;
    // The points that draw the line in those columns as all of its points would: a column's
    // points as they are when it holds four or fewer, else its first, least, greatest and last
    // value; and the nearest point on either side of the range, which the line runs to.
    TReducedLine Reduced(TChartLine Line, const TChartColumns &Columns) const;

    // One bar per day at its midnight with the energy of the day's last sample, in list order:
    // a day that ended at 0 Wh or less gets none; the day of the list's last sample always gets
    // its bar with the energy so far.
    TChartSeries Bars() const;

private:
    void Restart(const THistoryList &History);
    void SortByKey();
    void Fold(const THistoryData &Sample, bool AtEnd);
    void Insert(const THistoryData &Sample, bool AtEnd);

    float FCeiling;
    int FGeneration = -1;
    int FSynced = 0;
    std::vector<double> FKeys;
    std::array<std::vector<float>, ChartLineCount> FValues;
    TChartSeries FClosedBars;
    TDateTime FTrackedDay = 0;
    TDateTime FLastDT = 0;
    std::int32_t FLastEnergy = 0;
};

// "<title>: <first date> - <last date>" of the whole list; empty for an empty list, where the
// chart keeps its title.
QString ChartTitle(const THistoryList &History, TLanguage Language, const TLocaleFormats &Formats);

// The label pattern of the bottom axis for the span between two keys: "yyyy" from three years
// on, "mmm yyyy" from two months, "ddddd" from two days, "hh:nn" from eleven minutes, else
// "hh:nn:ss".
QString ChartLabelPattern(TKeyRange Range);

// The ranges of the range buttons around the present moment.
TKeyRange NowRange(TDateTime Now);         // five minutes either side
TKeyRange TodayRange(TDateTime Now);       // midnight to midnight
TKeyRange ThisWeekRange(TDateTime Now);    // Monday 00:00 to Sunday 23:59:59.999
TKeyRange ThisMonthRange(TDateTime Now);   // the first 00:00 to the last 23:59:59.999
TKeyRange ThisYearRange(TDateTime Now);    // 1 January 00:00 to 31 December 23:59:59.999
// The time stamp of the oldest of the samples that the chart draws (2016 or later): a live
// reading of a heater whose clock is unset is kept in the list but dated long before.
std::optional<TDateTime> OldestCharted(std::span<const THistoryData> Samples);
// After a download: from midnight of the oldest sample's day to the present moment.
TKeyRange DownloadedRange(TDateTime Oldest, TDateTime Now);

// A pan that would leave the data is held at its edge: the range moves no further below the
// first key, nor above the last, than it already lay.
TKeyRange PanWithinData(TKeyRange Proposed, TKeyRange Previous, double FirstKey, double LastKey);

// The index of the day bar that covers the point (Key, Value), or -1.
int BarAt(const TChartSeries &Bars, double Key, double Value);
