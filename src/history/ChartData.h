#pragma once

// The points of every history chart series and the chart title, built from the history list in
// one pass. The window hands each key and value vector to its chart series as they are.

#include "core/DateTime.h"
#include "core/LocaleFormats.h"
#include "history/HistoryData.h"
#include "i18n/Language.h"

#include <QString>

#include <vector>

// The chart's bottom axis counts seconds since 1970-01-01 00:00 UTC. A date-time's wall-clock
// fields are taken as UTC, so an axis whose labels are drawn in UTC shows the local wall-clock
// time of the samples, and no local time is skipped or doubled at a daylight-saving change.
// A day bar covers 95 % of its day, in chart keys (seconds).
constexpr double DayBarWidth = 0.95 * 86400.0;

double ChartKey(TDateTime Value);
TDateTime ChartKeyToDateTime(double Key);

// One series: point N is at X = Keys[N], Y = Values[N], in the order added.
struct TChartSeries {
    std::vector<double> Keys;
    std::vector<double> Values;
};

struct TChartData {
    TChartSeries Energy;      // serEnergy
    TChartSeries EnergyBar;   // serEnergyBar: one bar per day, X = the day's midnight
    TChartSeries P1;          // serP1 to serP3: limited to the power ceiling
    TChartSeries P2;
    TChartSeries P3;
    TChartSeries TW;
    TChartSeries PWM1;
    TChartSeries PWM2;
    TChartSeries PWM3;
    TChartSeries U1;
    TChartSeries U2;
    TChartSeries U3;
    QString Title;            // empty for an empty list: the chart keeps its previous title
};

// The line series hold one point per sample from 2016 on, at the sample's time stamp. Each
// calendar day whose last energy is above 0 gets a bar at its midnight with that energy; the
// newest day always gets its bar with the energy so far. String powers above MaxStringPower are
// drawn at MaxStringPower. The title names the dates of the list's first and last samples.
TChartData BuildChartData(const THistoryList &History, float MaxStringPower, TLanguage Language,
                          const TLocaleFormats &Formats);
