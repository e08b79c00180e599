#include "history/ChartTicks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace {

constexpr double Minute = 60;
constexpr double Hour = 3600;
constexpr double Day = 86400;
constexpr double MeanMonth = 30.4375 * Day;
constexpr double MeanYear = 365.25 * Day;
// 1970-01-05, the first Monday after the keys' origin: weekly steps start on Mondays.
constexpr double FirstMonday = 4 * Day;
// The keys of 0001-01-01 and 9999-12-31 23:59:59: outside, there is no calendar to step in.
constexpr double FirstKey = -62135596800.0;
constexpr double LastKey = 253402300799.0;

enum class TTickUnit { Second, Minute, Day, Month, Year };

struct TUniformStep {
    double Seconds;
    int SubTicks;
};

// Steps of a fixed length, finest first; the sub-ticks fall on round values of the next finer unit.
constexpr TUniformStep UniformSteps[] = {
    {1, 1},           {2, 1},           {5, 4},           {10, 1},          {15, 2},          {30, 2},
    {Minute, 3},      {2 * Minute, 1},  {5 * Minute, 4},  {10 * Minute, 1}, {15 * Minute, 2}, {30 * Minute, 2},
    {Hour, 3},        {2 * Hour, 1},    {3 * Hour, 2},    {4 * Hour, 3},    {6 * Hour, 5},    {12 * Hour, 3},
    {Day, 3},         {2 * Day, 1},     {3 * Day, 2},     {7 * Day, 6},     {14 * Day, 1}};
constexpr int MonthSteps[] = {1, 2, 3, 6};

TTickUnit FinestUnit(const QString &Pattern)
{
    if (Pattern == QLatin1String("yyyy"))
        return TTickUnit::Year;
    if (Pattern.contains(QLatin1String("mmm")))
        return TTickUnit::Month;
    if (Pattern.contains(QLatin1String("ss")))
        return TTickUnit::Second;
    if (Pattern.contains(QLatin1String("nn")))
        return TTickUnit::Minute;
    return TTickUnit::Day;
}

double FinestSeconds(TTickUnit Unit)
{
    switch (Unit) {
    case TTickUnit::Second: return 1;
    case TTickUnit::Minute: return Minute;
    default: return Day;
    }
}

std::int64_t FloorDiv(std::int64_t Value, std::int64_t Divisor)
{
    const std::int64_t quotient = Value / Divisor;
    return quotient * Divisor > Value ? quotient - 1 : quotient;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar, and back.
std::int64_t DaysFromCivil(std::int64_t Year, int Month, int Day)
{
    Year -= Month <= 2;
    const std::int64_t era = FloorDiv(Year, 400);
    const std::int64_t yearOfEra = Year - era * 400;
    const std::int64_t dayOfYear = (153 * (Month + (Month > 2 ? -3 : 9)) + 2) / 5 + Day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The month of a day, counted as Year * 12 + (Month - 1).
std::int64_t MonthIndexOfDay(std::int64_t Days)
{
    const std::int64_t shifted = Days + 719468;
    const std::int64_t era = FloorDiv(shifted, 146097);
    const std::int64_t dayOfEra = shifted - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t marchMonth = (5 * dayOfYear + 2) / 153;
    const int month = static_cast<int>(marchMonth < 10 ? marchMonth + 3 : marchMonth - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2);
    return year * 12 + month - 1;
}

double KeyOfMonth(std::int64_t MonthIndex)
{
    return static_cast<double>(DaysFromCivil(FloorDiv(MonthIndex, 12), static_cast<int>(MonthIndex - FloorDiv(MonthIndex, 12) * 12) + 1, 1)) * Day;
}

// Ticks every Step seconds from Origin on, the first at or below the range, the last at or above.
std::vector<double> UniformTicks(TKeyRange Range, double Step, double Origin)
{
    const double first = std::floor((Range.Lower - Origin) / Step);
    const double last = std::ceil((Range.Upper - Origin) / Step);
    std::vector<double> keys;
    for (double n = first; n <= last; ++n)
        keys.push_back(Origin + n * Step);
    return keys;
}

// Ticks on the first of every StepMonths-th month, counted from January of year 0.
std::vector<double> MonthTicks(TKeyRange Range, std::int64_t StepMonths)
{
    const std::int64_t lowerMonth = MonthIndexOfDay(static_cast<std::int64_t>(std::floor(Range.Lower / Day)));
    std::vector<double> keys;
    for (std::int64_t month = FloorDiv(lowerMonth, StepMonths) * StepMonths;; month += StepMonths) {
        keys.push_back(KeyOfMonth(month));
        if (keys.back() >= Range.Upper)
            return keys;
    }
}

// The least of 1, 2 and 5 times a power of ten that is at least Years.
std::int64_t YearStep(double Years)
{
    if (Years <= 1)
        return 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(Years)));
    for (const double mantissa : {1.0, 2.0, 5.0, 10.0}) {
        if (mantissa * magnitude >= Years)
            return static_cast<std::int64_t>(mantissa * magnitude);
    }
    return static_cast<std::int64_t>(10 * magnitude);
}

}

TChartTicks ChartTicks(TKeyRange Range, const QString &Pattern, int TickCount)
{
    if (!std::isfinite(Range.Lower) || !std::isfinite(Range.Upper))
        return {};
    if (Range.Upper < Range.Lower)
        std::swap(Range.Lower, Range.Upper);
    Range = {std::max(Range.Lower, FirstKey), std::min(Range.Upper, LastKey)};
    if (Range.Upper < Range.Lower)
        return {};

    const TTickUnit unit = FinestUnit(Pattern);
    const double wanted = (Range.Upper - Range.Lower) / std::max(TickCount, 1);
    if (unit <= TTickUnit::Day) {
        const auto step = std::find_if(std::begin(UniformSteps), std::end(UniformSteps), [&](const TUniformStep &Step) {
            return Step.Seconds >= FinestSeconds(unit) && Step.Seconds >= wanted;
        });
        if (step != std::end(UniformSteps)) {
            const double origin = step->Seconds >= 7 * Day ? FirstMonday : 0;
            return {UniformTicks(Range, step->Seconds, origin), step->SubTicks};
        }
    }
    if (unit <= TTickUnit::Month) {
        const auto step = std::find_if(std::begin(MonthSteps), std::end(MonthSteps),
                                       [&](int Months) { return Months * MeanMonth >= wanted; });
        if (step != std::end(MonthSteps))
            return {MonthTicks(Range, *step), 0};
    }
    return {MonthTicks(Range, 12 * YearStep(wanted / MeanYear)), 0};
}
