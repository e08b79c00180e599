#include "app/ChartParts.h"

#include "history/ChartData.h"

namespace {

constexpr int CheckBoxSize = 8;
constexpr int CheckBoxGap = 4;

}

TChartTicker::TChartTicker(const TLocaleFormats &Formats) : FFormats(Formats) {}

// The chart library asks for a step first, then for the ticks and sub-ticks of that step: the
// ticks are worked out here once, from the range, and the step it is handed back is not used.
double TChartTicker::getTickStep(const QCPRange &Range)
{
    FTicks = ChartTicks({Range.lower, Range.upper}, FPattern, tickCount());
    return 1;
}

int TChartTicker::getSubTickCount(double)
{
    return FTicks.SubTickCount;
}

QVector<double> TChartTicker::createTickVector(double, const QCPRange &)
{
    return QVector<double>(FTicks.Keys.begin(), FTicks.Keys.end());
}

QString TChartTicker::getTickLabel(double Tick, const QLocale &, QChar, int)
{
    return FormatDateTime(FFormats, FPattern, ChartKeyToDateTime(Tick));
}

TCheckLegendItem::TCheckLegendItem(QCPLegend *Legend, QCPAbstractPlottable *Series)
    : QCPPlottableLegendItem(Legend, Series)
{
}

void TCheckLegendItem::draw(QCPPainter *Painter)
{
    const QRect box(mRect.left(), mRect.center().y() - CheckBoxSize / 2, CheckBoxSize, CheckBoxSize);
    Painter->setPen(QPen(Qt::darkGray));
    Painter->setBrush(Qt::white);
    Painter->drawRect(box);
    if (mPlottable->visible()) {
        Painter->setPen(QPen(Qt::black, 1.5));
        Painter->drawPolyline(QPolygonF({QPointF(box.left() + 1.5, box.center().y()),
                                         QPointF(box.left() + 3.5, box.bottom() - 1.5),
                                         QPointF(box.right() - 1, box.top() + 1.5)}));
    }
    Painter->save();
    Painter->translate(CheckBoxSize + CheckBoxGap, 0);
    QCPPlottableLegendItem::draw(Painter);
    Painter->restore();
}

QSize TCheckLegendItem::minimumOuterSizeHint() const
{
    return QCPPlottableLegendItem::minimumOuterSizeHint() + QSize(CheckBoxSize + CheckBoxGap, 0);
}
