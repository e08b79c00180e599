#pragma once

// What the sun gave: the energy of the days of a month, the months of a year or the years, each
// beside the same a year earlier, with the period's total, its best day and the days that have
// no sample. Days are calendar days of the heater's own clock; a day's energy is taken as
// MakeEnergyReport takes it.

#include "core/DateTime.h"
#include "history/EnergyReport.h"

#include <QDate>

#include <cstdint>
#include <optional>
#include <vector>

// What the bars of a view are.
enum class TYieldLevel { Days, Months, Years };

// One view: the days of Month in Year, the months of Year, or every year of the heater.
struct TYieldPeriod {
    TYieldLevel Level = TYieldLevel::Years;
    int Year = 0;    // Days and Months
    int Month = 0;   // Days
    bool operator==(const TYieldPeriod &) const = default;
};

// What the archive holds of a heater, and the day it is today.
struct TYieldSpan {
    QDate FirstDay;   // the day of the heater's oldest sample
    QDate LastDay;    // the day of its newest
    QDate Today;
};

// The dates whose samples a view needs, both ends included: its own and those a year earlier.
struct TDateRange {
    QDate First;
    QDate Last;
};

struct TYieldBar {
    QDate Start;                            // the day, or the first day of the month or the year
    std::optional<std::int64_t> Wh;         // none when no day of it has a sample
    std::optional<std::int64_t> EarlierWh;  // the same day, month or year a year earlier
    std::optional<double> ChangePercent;    // Wh against EarlierWh, where both are and EarlierWh > 0
};

struct TYields {
    TYieldPeriod Period;
    std::vector<TYieldBar> Bars;
    std::int64_t TotalWh = 0;
    // Days of the period, from the heater's first day up to today, that have no sample.
    int MissingDays = 0;
    std::optional<TDayEnergy> BestDay;
    // The same days a year earlier, as far as the period has come by today; none at the level
    // of years, or when those days have no sample.
    std::optional<std::int64_t> EarlierWh;
    std::optional<double> ChangePercent;    // TotalWh against EarlierWh, where EarlierWh > 0
};

// The period a view starts at: the year of the heater's newest sample.
TYieldPeriod StartPeriod(const TYieldSpan &Span);
// The first and the last period of the view's level that reach the heater's days or today.
bool HasPrevious(const TYieldPeriod &Period, const TYieldSpan &Span);
bool HasNext(const TYieldPeriod &Period, const TYieldSpan &Span);
// The month or the year before or after; the level of years has neither and stays.
TYieldPeriod Previous(const TYieldPeriod &Period);
TYieldPeriod Next(const TYieldPeriod &Period);
// The view that holds this one, or none from the level of years.
std::optional<TYieldPeriod> Up(const TYieldPeriod &Period);
// The view of a bar's month or year, or none for a day.
std::optional<TYieldPeriod> Down(const TYieldPeriod &Period, const TYieldBar &Bar);

TDateRange YieldDates(const TYieldPeriod &Period, const TYieldSpan &Span);

// The view of the period from the energies of days in time order, which cover YieldDates (days
// outside it are left out).
TYields MakeYields(const TYieldPeriod &Period, const TYieldSpan &Span, const std::vector<TDayEnergy> &Days);

// The first and the last moment of a day, as the archive's ranges take them.
TDateTime DayStart(const QDate &Day);
TDateTime DayEnd(const QDate &Day);
