#include "history/ChartData.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr TDateTime UnixEpochDay = 25569.0;     // 1970-01-01
constexpr TDateTime FirstChartedDay = 42370.0;  // 2016-01-01: older time stamps are not drawn
constexpr double SecondsPerDay = 86400.0;

// Midnight of the date-time's day. Before day zero the fraction is still the time of day, so
// the whole-day part is the integer part, not the floor.
TDateTime MidnightOf(TDateTime Value)
{
    return std::trunc(Value);
}

// Whether the year of the time stamp is 2016 or later. The date is worked out only in the day
// before 2016-01-01, where rounding to the millisecond can still carry into the new year; the
// rebuild runs over the whole list every second.
bool IsCharted(TDateTime Value)
{
    if (Value >= FirstChartedDay)
        return true;
    if (Value >= FirstChartedDay - 1)
        return YearOf(Value) >= 2016;
    return false;
}

void Reserve(TChartSeries &Series, std::size_t Count)
{
    Series.Keys.reserve(Count);
    Series.Values.reserve(Count);
}

void Add(TChartSeries &Series, double Key, double Value)
{
    Series.Keys.push_back(Key);
    Series.Values.push_back(Value);
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

TChartData BuildChartData(const THistoryList &History, float MaxStringPower, TLanguage Language,
                          const TLocaleFormats &Formats)
{
    TChartData chart;
    if (History.Count() == 0)
        return chart;

    const auto count = static_cast<std::size_t>(History.Count());
    for (TChartSeries *series : {&chart.Energy, &chart.P1, &chart.P2, &chart.P3, &chart.TW, &chart.PWM1,
                                 &chart.PWM2, &chart.PWM3, &chart.U1, &chart.U2, &chart.U3})
        Reserve(*series, count);

    const double ceiling = MaxStringPower;
    TDateTime trackedDay = FirstChartedDay;
    std::int32_t lastEnergy = 0;
    for (const THistoryData &sample : History) {
        if (!IsCharted(sample.DT))
            continue;
        const double x = ChartKey(sample.DT);
        Add(chart.Energy, x, sample.Energy);
        Add(chart.P1, x, std::min<double>(sample.P1, ceiling));
        Add(chart.P2, x, std::min<double>(sample.P2, ceiling));
        Add(chart.P3, x, std::min<double>(sample.P3, ceiling));
        Add(chart.TW, x, sample.TW);
        Add(chart.PWM1, x, sample.PWM1);
        Add(chart.PWM2, x, sample.PWM2);
        Add(chart.PWM3, x, sample.PWM3);
        Add(chart.U1, x, sample.U1);
        Add(chart.U2, x, sample.U2);
        Add(chart.U3, x, sample.U3);

        // A new day closes the tracked one with the energy of its last sample; a day that ended
        // at 0 Wh gets no bar.
        if (sample.DT - trackedDay >= 1.0) {
            if (lastEnergy > 0)
                Add(chart.EnergyBar, ChartKey(trackedDay), lastEnergy);
            trackedDay = MidnightOf(sample.DT);
        }
        lastEnergy = sample.Energy;
    }

    // The newest day's bar shows the energy so far, even 0. It stands at the day of the list's
    // last sample, whether or not that sample was drawn.
    const THistoryData &first = History.Items(0);
    const THistoryData &last = History.Items(History.Count() - 1);
    Add(chart.EnergyBar, ChartKey(MidnightOf(last.DT)), lastEnergy);

    const QString ddddd = QStringLiteral("ddddd");
    chart.Title = TranslateText(Language, QStringLiteral("schartTitle")) + QStringLiteral(": ")
                  + FormatDateTime(Formats, ddddd, first.DT) + QStringLiteral(" - ")
                  + FormatDateTime(Formats, ddddd, last.DT);
    return chart;
}
