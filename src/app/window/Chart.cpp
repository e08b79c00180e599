// The history chart.

#include "app/FormMain.h"
#include "history/ChartData.h"

#include <qcustomplot.h>

namespace {

QVector<double> ToVector(const std::vector<double> &Values)
{
    return QVector<double>(Values.begin(), Values.end());
}

void SetPoints(QCPGraph *Series, const TChartSeries &Points)
{
    Series->setData(ToVector(Points.Keys), ToVector(Points.Values));
}

void SetBars(QCPBars *Series, const TChartSeries &Bars)
{
    QVector<double> keys = ToVector(Bars.Keys);
    // Bars are drawn centred on their key: shifted by half a bar, each starts at its midnight.
    for (double &key : keys)
        key += DayBarWidth / 2;
    Series->setData(keys, ToVector(Bars.Values));
}

}

void TFormMain::UpdateHistoryChart()
{
    const TChartData data = BuildChartData(FHistoryData, MaxStringPower, FLanguage, FOptions.Locale);
    SetPoints(serEnergy, data.Energy);
    SetBars(serEnergyBar, data.EnergyBar);
    SetPoints(serP1, data.P1);
    SetPoints(serP2, data.P2);
    SetPoints(serP3, data.P3);
    SetPoints(serTW, data.TW);
    SetPoints(serPWM1, data.PWM1);
    SetPoints(serPWM2, data.PWM2);
    SetPoints(serPWM3, data.PWM3);
    SetPoints(serU1, data.U1);
    SetPoints(serU2, data.U2);
    SetPoints(serU3, data.U3);
    if (!data.Title.isEmpty())
        chartTitle->setText(data.Title);
    // Drawn once when the window next paints, however often the data changed since.
    chartHistory->replot(QCustomPlot::rpQueuedReplot);
}
