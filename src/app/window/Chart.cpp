// The history chart: lines reduced to what the visible range can show, day bars, ranges, zoom
// and pan, the day tooltip.

#include "app/FormMain.h"
#include "app/ChartParts.h"
#include "history/ChartData.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRubberBand>
#include <QToolTip>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <cmath>

namespace {

// One wheel notch shows this share of the range, around the key under the pointer.
constexpr double WheelZoomFactor = 0.85;
// A right-button drag shorter than this is a click, not a zoom.
constexpr int MinimumZoomDrag = 5;

QVector<double> ToVector(const std::vector<double> &Values)
{
    return QVector<double>(Values.begin(), Values.end());
}

QCPRange ToRange(TKeyRange Range)
{
    return QCPRange(Range.Lower, Range.Upper);
}

TKeyRange FromRange(const QCPRange &Range)
{
    return {Range.lower, Range.upper};
}

// The least span that holds two spans; an empty one has Lower above Upper.
struct TValueSpan {
    double Lower = 1;
    double Upper = 0;

    void Add(double Min, double Max)
    {
        Lower = Upper < Lower ? Min : std::min(Lower, Min);
        Upper = std::max(Upper < Lower ? Max : Upper, Max);
    }
    bool Empty() const { return Upper < Lower; }
};

void SetValueRange(QCPAxis *Axis, const TValueSpan &Span)
{
    if (Span.Empty())
        return;
    if (Span.Lower == Span.Upper)
        Axis->setRange(Span.Lower - 1, Span.Upper + 1);
    else
        Axis->setRange(Span.Lower, Span.Upper);
}

}

void TFormMain::UpdateHistoryChart()
{
    FChart->Sync(FHistoryData);
    const QString title = ChartTitle(FHistoryData, FLanguage, FOptions.Locale);
    if (!title.isEmpty())
        chartTitle->setText(title);
    TChartSeries bars = FChart->Bars();
    // Bars are drawn centred on their key: shifted by half a bar, each starts at its midnight.
    for (double &key : bars.Keys)
        key += DayBarWidth / 2;
    serEnergyBar->setData(ToVector(bars.Keys), ToVector(bars.Values), true);
    ++FChartRevision;
    // Drawn once when the window next paints, however often the data changed since.
    chartHistory->replot(QCustomPlot::rpQueuedReplot);
}

// Runs in every replot once the chart's layout is settled: the lines are reduced anew when the
// data, the visible range, the chart's width or the shown series changed.
void TFormMain::ReduceChartLines()
{
    const QCPRange range = chartHistory->xAxis->range();
    const int width = chartHistory->axisRect()->width();
    const TReducedFor reducedFor{range.lower, range.upper, width, FChartRevision};
    if (reducedFor == FReducedFor)
        return;
    FReducedFor = reducedFor;

    const TChartColumns columns = FChart->Columns(FromRange(range), width);
    TValueSpan left, right;
    const std::pair<TChartLine, QCPGraph *> lines[] = {
        {TChartLine::Energy, serEnergy}, {TChartLine::P1, serP1},     {TChartLine::P2, serP2},
        {TChartLine::P3, serP3},         {TChartLine::TW, serTW},     {TChartLine::PWM1, serPWM1},
        {TChartLine::PWM2, serPWM2},     {TChartLine::PWM3, serPWM3}, {TChartLine::U1, serU1},
        {TChartLine::U2, serU2},         {TChartLine::U3, serU3}};
    for (const auto &[line, graph] : lines) {
        const TReducedLine reduced = FChart->Reduced(line, columns);
        graph->setData(ToVector(reduced.Points.Keys), ToVector(reduced.Points.Values), true);
        if (graph->visible() && reduced.HasValues)
            (graph->valueAxis() == chartHistory->yAxis ? left : right).Add(reduced.Min, reduced.Max);
    }
    if (serEnergyBar->visible()) {
        for (const QCPBarsData &bar : *serEnergyBar->data()) {
            if (bar.key + DayBarWidth / 2 >= range.lower && bar.key - DayBarWidth / 2 <= range.upper)
                right.Add(std::min(0.0, bar.value), std::max(0.0, bar.value));
        }
    }
    if (!FValuesZoomed) {
        SetValueRange(chartHistory->yAxis, left);
        SetValueRange(chartHistory->yAxis2, right);
    }
}

void TFormMain::SetBottomRange(TKeyRange Range)
{
    chartHistory->xAxis->setRange(ToRange(Range));
    chartHistory->replot(QCustomPlot::rpQueuedReplot);
}

void TFormMain::chartHistoryZoom()
{
    FChartTicker->SetPattern(ChartLabelPattern(FromRange(chartHistory->xAxis->range())));
    chartHistory->replot(QCustomPlot::rpQueuedReplot);
}

void TFormMain::btnNowClick()
{
    SetBottomRange(NowRange(DateTimeFromQt(FOptions.Now())));
    chartHistoryZoom();
}

void TFormMain::btnTodayClick()
{
    SetBottomRange(TodayRange(DateTimeFromQt(FOptions.Now())));
    chartHistoryZoom();
}

void TFormMain::btnThisWeekClick()
{
    SetBottomRange(ThisWeekRange(DateTimeFromQt(FOptions.Now())));
    chartHistoryZoom();
}

void TFormMain::btnThisMonthClick()
{
    SetBottomRange(ThisMonthRange(DateTimeFromQt(FOptions.Now())));
    chartHistoryZoom();
}

void TFormMain::btnThisYearClick()
{
    SetBottomRange(ThisYearRange(DateTimeFromQt(FOptions.Now())));
    chartHistoryZoom();
}

// The tooltip names the day of the bar under the pointer, and nothing elsewhere.
void TFormMain::chartHistoryMouseMove(QMouseEvent *Event)
{
    const QPointF pos = Event->position();
    QString hint;
    if (serEnergyBar->visible()) {
        const TChartSeries bars = FChart->Bars();
        const int bar = BarAt(bars, chartHistory->xAxis->pixelToCoord(pos.x()), chartHistory->yAxis2->pixelToCoord(pos.y()));
        if (bar >= 0)
            hint = FormatDateTime(FOptions.Locale, QStringLiteral("ddddd"),
                                  ChartKeyToDateTime(bars.Keys[static_cast<std::size_t>(bar)]));
    }
    if (hint != chartHistory->toolTip()) {
        chartHistory->setToolTip(hint);
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(Event->globalPosition().toPoint(), hint, chartHistory);
    }
}

// A legend entry's check mark shows and hides its series.
void TFormMain::chartHistoryLegendClick(QCPAbstractLegendItem *Item)
{
    auto *entry = qobject_cast<QCPPlottableLegendItem *>(Item);
    if (!entry)
        return;
    entry->plottable()->setVisible(!entry->plottable()->visible());
    ++FChartRevision;
    chartHistory->replot(QCustomPlot::rpQueuedReplot);
}

// Mouse on the chart: the left button pans within the data (the chart's own drag), the right
// button drags a rectangle to zoom into (to the right) or to undo the zoom (to the left), the
// wheel zooms the time axis around the pointer.
bool TFormMain::ChartMouseEvent(QEvent *Event)
{
    switch (Event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(Event);
        if (mouse->button() == Qt::LeftButton) {
            FPanStart = FromRange(chartHistory->xAxis->range());
            FPanning = true;
            return false;
        }
        if (mouse->button() != Qt::RightButton)
            return false;
        FZoomStart = mouse->position().toPoint();
        FZoomBand->setGeometry(QRect(FZoomStart, QSize()));
        FZoomBand->show();
        return true;
    }
    case QEvent::MouseMove:
        if (FZoomBand->isVisible())
            FZoomBand->setGeometry(QRect(FZoomStart, static_cast<QMouseEvent *>(Event)->position().toPoint()).normalized());
        return false;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(Event);
        if (mouse->button() == Qt::LeftButton)
            FPanning = false;
        if (mouse->button() != Qt::RightButton || !FZoomBand->isVisible())
            return false;
        FZoomBand->hide();
        ZoomToDrag(FZoomStart, mouse->position().toPoint());
        return true;
    }
    case QEvent::Wheel: {
        const auto *wheel = static_cast<QWheelEvent *>(Event);
        const double notches = wheel->angleDelta().y() / 120.0;
        if (notches == 0)
            return true;
        const double centre = chartHistory->xAxis->pixelToCoord(wheel->position().x());
        chartHistory->xAxis->scaleRange(std::pow(WheelZoomFactor, notches), centre);
        chartHistoryZoom();
        return true;
    }
    default:
        return false;
    }
}

void TFormMain::ZoomToDrag(QPoint From, QPoint To)
{
    if (std::abs(To.x() - From.x()) < MinimumZoomDrag && std::abs(To.y() - From.y()) < MinimumZoomDrag)
        return;
    if (To.x() < From.x()) {
        if (FValuesZoomed) {
            chartHistory->xAxis->setRange(ToRange(FBeforeZoom));
            FValuesZoomed = false;
            ++FChartRevision;
        }
    } else {
        if (!FValuesZoomed)
            FBeforeZoom = FromRange(chartHistory->xAxis->range());
        FValuesZoomed = true;
        const QRect drag = QRect(From, To).normalized();
        chartHistory->xAxis->setRange(chartHistory->xAxis->pixelToCoord(drag.left()),
                                      chartHistory->xAxis->pixelToCoord(drag.right()));
        for (QCPAxis *axis : {chartHistory->yAxis, chartHistory->yAxis2})
            axis->setRange(axis->pixelToCoord(drag.bottom()), axis->pixelToCoord(drag.top()));
    }
    chartHistoryZoom();
}

// Dragging with the left button moves the time axis no further out of the data than it lay.
void TFormMain::chartHistoryRangeChanged(const QCPRange &NewRange)
{
    if (!FPanning || FChart->Count() == 0)
        return;
    const TKeyRange held = PanWithinData(FromRange(NewRange), FPanStart, FChart->FirstKey(), FChart->LastKey());
    if (held.Lower != NewRange.lower || held.Upper != NewRange.upper)
        chartHistory->xAxis->setRange(ToRange(held));
}
