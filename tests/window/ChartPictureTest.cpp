#include "WindowFixture.h"
#include "support/SunReadings.h"

#include <QImage>
#include <qcustomplot.h>

#include <cmath>

namespace {

constexpr TDateTime April1 = SunReadingsStart;

// Ten days of readings every four seconds.
void FillHistory(THistoryList &History)
{
    for (int i = 0; i < 216000; ++i)
        History.Add(SunReading(i, 4));
}

QImage Picture(TFormMain &Window)
{
    Window.chartHistory->replot(QCustomPlot::rpImmediateRefresh);
    Window.chartHistory->replot(QCustomPlot::rpImmediateRefresh);   // margins settle on new value ranges
    return Window.chartHistory->grab().toImage();
}

double DifferingShare(const QImage &A, const QImage &B)
{
    if (A.size() != B.size())
        return 1;
    long differing = 0;
    for (int y = 0; y < A.height(); ++y) {
        for (int x = 0; x < A.width(); ++x)
            differing += A.pixel(x, y) != B.pixel(x, y) ? 1 : 0;
    }
    return static_cast<double>(differing) / (A.width() * A.height());
}

}

// The chart draws reduced lines; a chart given every point must look the same.
TEST_F(WindowTest, ReducedChartLooksAsTheChartOfEveryPoint)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    w->resize(1024, 768);
    w->pnlNotConnected->hide();
    FillHistory(w->FHistoryData);
    w->UpdateHistoryChart();
    const std::pair<TChartLine, QCPGraph *> lines[] = {
        {TChartLine::Energy, w->serEnergy}, {TChartLine::P1, w->serP1},     {TChartLine::P2, w->serP2},
        {TChartLine::P3, w->serP3},         {TChartLine::TW, w->serTW},     {TChartLine::PWM1, w->serPWM1},
        {TChartLine::PWM2, w->serPWM2},     {TChartLine::PWM3, w->serPWM3}, {TChartLine::U1, w->serU1},
        {TChartLine::U2, w->serU2},         {TChartLine::U3, w->serU3}};
    const double first = ChartKey(April1);
    const double last = ChartKey(April1 + 10);
    const struct {
        const char *Name;
        double Lower, Upper;
    } ranges[] = {
        {"whole", first, last},
        {"two days", first + 3 * 86400.0 + 1234, first + 5 * 86400.0 + 777},
        {"one hour", first + 6 * 86400.0 + 11 * 3600.0, first + 6 * 86400.0 + 12 * 3600.0},
    };
    for (const auto &range : ranges) {
        SCOPED_TRACE(range.Name);
        w->chartHistory->xAxis->setRange(range.Lower, range.Upper);
        const QImage reduced = Picture(*w);
        std::size_t drawn = 0;
        for (const auto &[line, graph] : lines) {
            const TChartSeries all = w->FChart->Points(line);
            drawn += static_cast<std::size_t>(graph->dataCount());
            graph->setData(QVector<double>(all.Keys.begin(), all.Keys.end()),
                           QVector<double>(all.Values.begin(), all.Values.end()), true);
        }
        EXPECT_LT(drawn, 11u * 216000u / 10);   // the reduction gave the chart far fewer points
        const QImage everything = Picture(*w);
        EXPECT_LE(DifferingShare(reduced, everything), 0.005);
        w->UpdateHistoryChart();   // back to the reduced lines
    }
}
