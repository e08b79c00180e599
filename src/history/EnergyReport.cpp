#include "history/EnergyReport.h"

#include "core/DateTime.h"
#include "history/DayEnergy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

TEnergyReport MakeEnergyReport(const THistoryList &Sorted)
{
    TEnergyReport report;
    qint64 day = 0;
    TDayEnergyCounter counter;
    for (const THistoryData &sample : Sorted) {
        const qint64 sampleDay = SplitDateTime(sample.DT).Day;
        if (report.Days.empty() || sampleDay != day) {
            day = sampleDay;
            counter = {};
            report.Days.push_back({DateTimeToQt(static_cast<double>(day)).date(), 0});
        }
        counter.Add(sample.Energy);
        report.Days.back().EnergyWh = counter.DayWh();
    }
    for (const TDayEnergy &d : report.Days) {
        if (report.Months.empty() || report.Months.back().Year != d.Day.year() || report.Months.back().Month != d.Day.month())
            report.Months.push_back({d.Day.year(), d.Day.month(), 0});
        report.Months.back().EnergyWh += d.EnergyWh;
        report.TotalWh += d.EnergyWh;
    }
    return report;
}

QByteArray EnergyReportJson(const TEnergyReport &Report, bool WithMonths)
{
    QJsonArray days;
    for (const TDayEnergy &d : Report.Days)
        days.append(QJsonObject{{QStringLiteral("date"), d.Day.toString(Qt::ISODate)},
                                {QStringLiteral("energy_wh"), static_cast<qint64>(d.EnergyWh)}});
    QJsonObject root{{QStringLiteral("days"), days}, {QStringLiteral("total_wh"), static_cast<qint64>(Report.TotalWh)}};
    if (WithMonths) {
        QJsonArray months;
        for (const TMonthEnergy &m : Report.Months)
            months.append(QJsonObject{
                {QStringLiteral("month"), QStringLiteral("%1-%2").arg(m.Year, 4, 10, QLatin1Char('0')).arg(m.Month, 2, 10, QLatin1Char('0'))},
                {QStringLiteral("energy_wh"), static_cast<qint64>(m.EnergyWh)}});
        root.insert(QStringLiteral("months"), months);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}
