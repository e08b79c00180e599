#pragma once

// How much the heater harvested: the energy of each day (its counter's readings taken as
// TDayEnergyCounter takes them), and the totals of months and of the whole report.

#include "history/HistoryData.h"

#include <QByteArray>
#include <QDate>

#include <cstdint>
#include <vector>

struct TDayEnergy {
    QDate Day;
    std::int64_t EnergyWh = 0;
};

struct TMonthEnergy {
    int Year = 0;
    int Month = 0;
    std::int64_t EnergyWh = 0;
};

struct TEnergyReport {
    std::vector<TDayEnergy> Days;       // each day that has a sample, in order
    std::vector<TMonthEnergy> Months;   // each month that has a day, in order
    std::int64_t TotalWh = 0;
};

// The report of samples sorted by time; days are calendar days of the heater's own clock.
TEnergyReport MakeEnergyReport(const THistoryList &Sorted);

// {"days":[{"date":"2017-03-01","energy_wh":1000},...],"total_wh":N}, with
// "months":[{"month":"2017-03","energy_wh":N},...] as well when WithMonths.
QByteArray EnergyReportJson(const TEnergyReport &Report, bool WithMonths);
