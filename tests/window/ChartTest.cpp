#include "WindowFixture.h"

#include "app/ChartParts.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <qcustomplot.h>

namespace {

constexpr TDateTime April1 = 42826.0;

// Ten days of hourly samples from April 1, energy rising through each day.
void FillDays(THistoryList &History)
{
    for (int hour = 0; hour < 240; ++hour) {
        THistoryData sample;
        sample.DT = April1 + hour / 24.0;
        sample.Energy = 100 * (hour % 24);
        sample.P1 = static_cast<float>(hour % 24 * 10);
        sample.TW = 50;
        History.Add(sample);
    }
}

void Mouse(QWidget *Target, QEvent::Type Type, Qt::MouseButton Button, QPoint At)
{
    QMouseEvent event(Type, QPointF(At), Target->mapToGlobal(QPointF(At)), Button,
                      Type == QEvent::MouseButtonRelease ? Qt::NoButton : Button, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &event);
}

void Drag(QWidget *Target, Qt::MouseButton Button, QPoint From, QPoint To)
{
    Mouse(Target, QEvent::MouseButtonPress, Button, From);
    Mouse(Target, QEvent::MouseMove, Button, (From + To) / 2);
    Mouse(Target, QEvent::MouseMove, Button, To);
    Mouse(Target, QEvent::MouseButtonRelease, Button, To);
}

}

class ChartTest : public WindowTest {
protected:
    std::unique_ptr<TFormMain> ChartWindow()
    {
        Now = QDateTime(QDate(2017, 4, 9), QTime(15, 0));   // a Sunday
        auto w = ShownWindow({QStringLiteral("mondrel")});
        w->pnlNotConnected->hide();
        FillDays(w->FHistoryData);
        w->chartHistory->xAxis->setRange(ChartKey(April1), ChartKey(April1 + 10));
        w->UpdateHistoryChart();
        Replot(*w);
        return w;
    }

    static void Replot(TFormMain &Window)
    {
        Window.chartHistory->replot(QCustomPlot::rpImmediateRefresh);
    }

    static QString Pattern(const TFormMain &Window)
    {
        return dynamic_cast<TChartTicker &>(*Window.chartHistory->xAxis->ticker()).Pattern();
    }

    static void ExpectRange(const TFormMain &Window, TKeyRange Range)
    {
        EXPECT_NEAR(Window.chartHistory->xAxis->range().lower, Range.Lower, 1e-3);
        EXPECT_NEAR(Window.chartHistory->xAxis->range().upper, Range.Upper, 1e-3);
    }
};

TEST_F(ChartTest, RangeButtonsSetTheirRangeAndFormatWhichSurvivePolls)
{
    auto w = ChartWindow();
    const TDateTime now = DateTimeFromQt(Now);
    const struct {
        QPushButton *Button;
        TKeyRange Range;
        const char *Pattern;
    } cases[] = {
        {w->btnNow, NowRange(now), "hh:nn:ss"},
        {w->btnToday, TodayRange(now), "hh:nn"},
        {w->btnThisWeek, ThisWeekRange(now), "ddddd"},
        {w->btnThisMonth, ThisMonthRange(now), "ddddd"},
        {w->btnThisYear, ThisYearRange(now), "mmm yyyy"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Pattern);
        c.Button->click();
        ExpectRange(*w, c.Range);
        EXPECT_EQ(Pattern(*w), QString::fromLatin1(c.Pattern));
        w->RefreshCurrentData();   // a poll rebuilds the chart, range and labels stay
        Replot(*w);
        ExpectRange(*w, c.Range);
        EXPECT_EQ(Pattern(*w), QString::fromLatin1(c.Pattern));
    }
}

TEST_F(ChartTest, ValueAxesFollowTheVisibleData)
{
    auto w = ChartWindow();
    EXPECT_DOUBLE_EQ(w->chartHistory->yAxis->range().upper, 230);   // P1 reaches 230 W
    EXPECT_DOUBLE_EQ(w->chartHistory->yAxis2->range().upper, 2300);
    w->chartHistory->xAxis->setRange(ChartKey(April1), ChartKey(April1 + 5 / 24.0));
    Replot(*w);
    EXPECT_DOUBLE_EQ(w->chartHistory->yAxis->range().upper, 50);   // the water's 50 °C tops the first hours
}

// A right-button drag to the right zooms into its rectangle, both axes; the value axes then hold
// through polls; a drag to the left undoes the zoom.
TEST_F(ChartTest, RightDragZoomsAndADragBackUndoes)
{
    auto w = ChartWindow();
    const QCPRange before = w->chartHistory->xAxis->range();
    const QRect plot = w->chartHistory->axisRect()->rect();
    const QPoint from = plot.topLeft() + QPoint(plot.width() / 4, plot.height() / 4);
    const QPoint to = plot.topLeft() + QPoint(plot.width() / 2, plot.height() / 2);
    Drag(w->chartHistory, Qt::RightButton, from, to);
    const QCPRange zoomed = w->chartHistory->xAxis->range();
    EXPECT_NEAR(zoomed.size(), before.size() / 4, before.size() / 100);
    const QCPRange values = w->chartHistory->yAxis->range();
    EXPECT_LT(values.size(), 230);
    EXPECT_EQ(Pattern(*w), QStringLiteral("ddddd"));

    w->RefreshCurrentData();
    Replot(*w);
    EXPECT_EQ(w->chartHistory->yAxis->range(), values);
    EXPECT_EQ(w->chartHistory->xAxis->range(), zoomed);

    Drag(w->chartHistory, Qt::RightButton, to, from);
    Replot(*w);
    EXPECT_EQ(w->chartHistory->xAxis->range(), before);
    EXPECT_DOUBLE_EQ(w->chartHistory->yAxis->range().upper, 230);
}

TEST_F(ChartTest, WheelZoomsTheTimeAxisAroundThePointer)
{
    auto w = ChartWindow();
    const QCPRange before = w->chartHistory->xAxis->range();
    const QPoint at = w->chartHistory->axisRect()->center();
    const double key = w->chartHistory->xAxis->pixelToCoord(at.x());
    QWheelEvent wheel(QPointF(at), w->chartHistory->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * 10),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w->chartHistory, &wheel);
    const QCPRange after = w->chartHistory->xAxis->range();
    EXPECT_LT(after.size(), before.size() / 4);
    EXPECT_TRUE(after.contains(key));
    EXPECT_EQ(Pattern(*w), QStringLiteral("hh:nn"));
}

TEST_F(ChartTest, LeftDragPansButNotOutOfTheData)
{
    auto w = ChartWindow();
    w->chartHistory->xAxis->setRange(ChartKey(April1 + 2), ChartKey(April1 + 4));
    Replot(*w);
    const QRect plot = w->chartHistory->axisRect()->rect();
    const QPoint middle = plot.center();
    Drag(w->chartHistory, Qt::LeftButton, middle, middle - QPoint(plot.width() / 4, 0));   // later
    EXPECT_NEAR(w->chartHistory->xAxis->range().lower, ChartKey(April1 + 2.5), 600);
    Drag(w->chartHistory, Qt::LeftButton, middle, middle + QPoint(plot.width() * 3, 0));    // far earlier
    ExpectRange(*w, {ChartKey(April1), ChartKey(April1 + 2)});
}

TEST_F(ChartTest, LegendCheckMarkHidesAndShowsItsSeries)
{
    auto w = ChartWindow();
    QCPAbstractLegendItem *entry = w->chartHistory->legend->itemWithPlottable(w->serP1);
    ASSERT_NE(entry, nullptr);
    EXPECT_NE(dynamic_cast<TCheckLegendItem *>(entry), nullptr);
    w->chartHistoryLegendClick(entry);
    EXPECT_FALSE(w->serP1->visible());
    Replot(*w);
    EXPECT_DOUBLE_EQ(w->chartHistory->yAxis->range().upper, 50);   // only the hidden P1 went higher
    QTest::mouseClick(w->chartHistory, Qt::LeftButton, {}, entry->rect().center());   // a click on the entry
    EXPECT_TRUE(w->serP1->visible());
}

TEST_F(ChartTest, TooltipNamesTheDayOfTheBarUnderThePointer)
{
    auto w = ChartWindow();
    const auto moveTo = [&](double Key, double Value) {
        const QPointF at(w->chartHistory->xAxis->coordToPixel(Key), w->chartHistory->yAxis2->coordToPixel(Value));
        QMouseEvent move(QEvent::MouseMove, at, w->chartHistory->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        w->chartHistoryMouseMove(&move);
        return w->chartHistory->toolTip();
    };
    EXPECT_EQ(moveTo(ChartKey(April1 + 3.5), 1000), QStringLiteral("04/04/2017"));
    EXPECT_EQ(moveTo(ChartKey(April1 + 3.97), 100), QString());   // in the gap between days
    EXPECT_EQ(moveTo(ChartKey(April1 + 5.2), 100), QStringLiteral("06/04/2017"));
    w->serEnergyBar->setVisible(false);
    EXPECT_EQ(moveTo(ChartKey(April1 + 5.2), 100), QString());
}
