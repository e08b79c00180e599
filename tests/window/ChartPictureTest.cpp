#include "WindowFixture.h"

#include <QImage>
#include <qcustomplot.h>

#include <cmath>
#include <random>

namespace {

constexpr TDateTime April1 = 42826.0;

// Ten days of readings every four seconds: a sun curve with clouds, warming water, energy.
void FillHistory(THistoryList &History)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> cloud(0.3f, 1.0f);
    for (int i = 0; i < 216000; ++i) {
        THistoryData sample;
        sample.DT = April1 + i * 4 / 86400.0;
        const double hour = std::fmod(i * 4 / 3600.0, 24);
        const float sun = static_cast<float>(std::max(0.0, std::sin((hour - 6) / 12 * 3.14159)));
        sample.P1 = 450 * sun * cloud(random);
        sample.P2 = 0.8f * sample.P1;
        sample.P3 = 0.6f * sample.P1 * cloud(random);
        sample.U1 = 20 + 15 * sun;
        sample.U2 = sample.U1 - 1;
        sample.U3 = sample.U1 - 2;
        sample.TW = static_cast<float>(40 + 20 * hour / 24);
        sample.PWM1 = static_cast<int>(900 * sun);
        sample.PWM2 = sample.PWM1 / 2;
        sample.PWM3 = sample.PWM1 / 3;
        sample.Energy = static_cast<int>(hour * 120);
        History.Add(sample);
    }
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
