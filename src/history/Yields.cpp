#include "history/Yields.h"

#include <algorithm>

namespace {

const QDate DayZero(1899, 12, 30);

QDate MonthStart(const QDate &Day)
{
    return QDate(Day.year(), Day.month(), 1);
}

// The day the heater's days or the calendar last reach: a clock behind the heater's does not
// hide its newest days.
QDate LatestDay(const TYieldSpan &Span)
{
    return std::max(Span.LastDay, Span.Today);
}

// The dates of the period itself, both ends included.
TDateRange OwnDates(const TYieldPeriod &Period, const TYieldSpan &Span)
{
    switch (Period.Level) {
    case TYieldLevel::Days: {
        const QDate first(Period.Year, Period.Month, 1);
        return {first, first.addMonths(1).addDays(-1)};
    }
    case TYieldLevel::Months:
        return {QDate(Period.Year, 1, 1), QDate(Period.Year, 12, 31)};
    case TYieldLevel::Years:
        break;
    }
    return {QDate(Span.FirstDay.year(), 1, 1), QDate(LatestDay(Span).year(), 12, 31)};
}

// Which bar a day belongs to, in the period's own dates; -1 for none.
int BarIndex(const TYieldPeriod &Period, const TYieldSpan &Span, const QDate &Day)
{
    switch (Period.Level) {
    case TYieldLevel::Days:
        return Day.year() == Period.Year && Day.month() == Period.Month ? Day.day() - 1 : -1;
    case TYieldLevel::Months:
        return Day.year() == Period.Year ? Day.month() - 1 : -1;
    case TYieldLevel::Years:
        break;
    }
    const TDateRange own = OwnDates(Period, Span);
    return Day >= own.First && Day <= own.Last ? Day.year() - own.First.year() : -1;
}

// The bar that a day stands beside as a year earlier: the bar of the same date, month or year a
// year later (a 29 February beside no day); -1 for none.
int EarlierBarIndex(const TYieldPeriod &Period, const TYieldSpan &Span, const QDate &Day)
{
    if (Period.Level == TYieldLevel::Days) {
        const QDate later = Day.addYears(1);
        return later.day() == Day.day() ? BarIndex(Period, Span, later) : -1;
    }
    return BarIndex(Period, Span, QDate(Day.year() + 1, Day.month(), 1));
}

std::vector<TYieldBar> EmptyBars(const TYieldPeriod &Period, const TYieldSpan &Span)
{
    const TDateRange own = OwnDates(Period, Span);
    std::vector<TYieldBar> bars;
    for (QDate start = own.First; start <= own.Last;) {
        bars.push_back({start, {}, {}, {}});
        switch (Period.Level) {
        case TYieldLevel::Days: start = start.addDays(1); break;
        case TYieldLevel::Months: start = start.addMonths(1); break;
        case TYieldLevel::Years: start = start.addYears(1); break;
        }
    }
    return bars;
}

void Add(std::optional<std::int64_t> &Sum, std::int64_t Wh)
{
    Sum = Sum.value_or(0) + Wh;
}

std::optional<double> Change(const std::optional<std::int64_t> &Wh, const std::optional<std::int64_t> &EarlierWh)
{
    if (!Wh || !EarlierWh || *EarlierWh <= 0)
        return std::nullopt;
    return static_cast<double>(*Wh - *EarlierWh) * 100.0 / static_cast<double>(*EarlierWh);
}

}

TYieldPeriod StartPeriod(const TYieldSpan &Span)
{
    return {TYieldLevel::Months, Span.LastDay.year(), 0};
}

bool HasPrevious(const TYieldPeriod &Period, const TYieldSpan &Span)
{
    const QDate &first = Span.FirstDay;
    switch (Period.Level) {
    case TYieldLevel::Days: return QDate(Period.Year, Period.Month, 1) > MonthStart(first);
    case TYieldLevel::Months: return Period.Year > first.year();
    case TYieldLevel::Years: break;
    }
    return false;
}

bool HasNext(const TYieldPeriod &Period, const TYieldSpan &Span)
{
    const QDate latest = LatestDay(Span);
    switch (Period.Level) {
    case TYieldLevel::Days: return QDate(Period.Year, Period.Month, 1) < MonthStart(latest);
    case TYieldLevel::Months: return Period.Year < latest.year();
    case TYieldLevel::Years: break;
    }
    return false;
}

namespace {

TYieldPeriod Moved(const TYieldPeriod &Period, int Step)
{
    switch (Period.Level) {
    case TYieldLevel::Days: {
        const QDate month = QDate(Period.Year, Period.Month, 1).addMonths(Step);
        return {TYieldLevel::Days, month.year(), month.month()};
    }
    case TYieldLevel::Months: return {TYieldLevel::Months, Period.Year + Step, 0};
    case TYieldLevel::Years: break;
    }
    return Period;
}

}

TYieldPeriod Previous(const TYieldPeriod &Period)
{
    return Moved(Period, -1);
}

TYieldPeriod Next(const TYieldPeriod &Period)
{
    return Moved(Period, 1);
}

std::optional<TYieldPeriod> Up(const TYieldPeriod &Period)
{
    switch (Period.Level) {
    case TYieldLevel::Days: return TYieldPeriod{TYieldLevel::Months, Period.Year, 0};
    case TYieldLevel::Months: return TYieldPeriod{TYieldLevel::Years, 0, 0};
    case TYieldLevel::Years: break;
    }
    return std::nullopt;
}

std::optional<TYieldPeriod> Down(const TYieldPeriod &Period, const TYieldBar &Bar)
{
    switch (Period.Level) {
    case TYieldLevel::Years: return TYieldPeriod{TYieldLevel::Months, Bar.Start.year(), 0};
    case TYieldLevel::Months: return TYieldPeriod{TYieldLevel::Days, Bar.Start.year(), Bar.Start.month()};
    case TYieldLevel::Days: break;
    }
    return std::nullopt;
}

TDateRange YieldDates(const TYieldPeriod &Period, const TYieldSpan &Span)
{
    const TDateRange own = OwnDates(Period, Span);
    return {Period.Level == TYieldLevel::Years ? own.First : own.First.addYears(-1), own.Last};
}

TYields MakeYields(const TYieldPeriod &Period, const TYieldSpan &Span, const std::vector<TDayEnergy> &Days)
{
    TYields yields;
    yields.Period = Period;
    yields.Bars = EmptyBars(Period, Span);
    // Missing days are counted where the heater was there and the day has come.
    const TDateRange own = OwnDates(Period, Span);
    const QDate countFrom = std::max(own.First, Span.FirstDay);
    const QDate countTo = std::min(own.Last, Span.Today);
    const TYieldPeriod yearEarlier{Period.Level, Period.Year - 1, Period.Month};
    int daysWithSamples = 0;
    for (const TDayEnergy &day : Days) {
        const int index = BarIndex(Period, Span, day.Day);
        if (index >= 0) {
            Add(yields.Bars[static_cast<std::size_t>(index)].Wh, day.EnergyWh);
            yields.TotalWh += day.EnergyWh;
            if (!yields.BestDay || day.EnergyWh > yields.BestDay->EnergyWh)
                yields.BestDay = day;
            if (day.Day >= countFrom && day.Day <= countTo)
                ++daysWithSamples;
        }
        const int earlierIndex = EarlierBarIndex(Period, Span, day.Day);
        if (earlierIndex >= 0)
            Add(yields.Bars[static_cast<std::size_t>(earlierIndex)].EarlierWh, day.EnergyWh);
        // The comparison takes the days a year earlier whose date has come again.
        if (Period.Level != TYieldLevel::Years && BarIndex(yearEarlier, Span, day.Day) >= 0
            && day.Day.addYears(1) <= Span.Today)
            Add(yields.EarlierWh, day.EnergyWh);
    }
    for (TYieldBar &bar : yields.Bars)
        bar.ChangePercent = Change(bar.Wh, bar.EarlierWh);
    yields.MissingDays = countFrom <= countTo ? static_cast<int>(countFrom.daysTo(countTo)) + 1 - daysWithSamples : 0;
    yields.ChangePercent = Change(yields.TotalWh, yields.EarlierWh);
    return yields;
}

TDateTime DayStart(const QDate &Day)
{
    return static_cast<double>(DayZero.daysTo(Day));
}

TDateTime DayEnd(const QDate &Day)
{
    // Before day zero the fraction still counts forward into the day: -1.5 is 1899-12-29 12:00.
    const double day = DayStart(Day);
    const double lastMoment = (MSecsPerDay - 1) / MSecsPerDay;
    return day < 0 ? day - lastMoment : day + lastMoment;
}
