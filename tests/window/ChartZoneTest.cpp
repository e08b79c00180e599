// The time axis in the machine's time zone: these tests run once per zone of a table (see the
// tests' CMakeLists), so that ticks placed through the machine's zone would show.

#include "WindowFixture.h"

#include "app/ChartParts.h"
#include "support/StoredHistory.h"

#include <QPushButton>
#include <QTimeZone>
#include <QWheelEvent>
#include <qcustomplot.h>

namespace {

// Ten days of hourly records back from the present moment, newest first.
void StoreDaysBefore(const QDateTime &Now)
{
    const TDateTime now = DateTimeFromQt(Now);
    std::vector<TRecord> records;
    for (int hour = 0; hour < 240; ++hour)
        records.push_back(Record(now - hour / 24.0, 50, 100 + hour % 24 * 50));
    Store(records);
}

void Wheel(QCustomPlot *Chart, int Notches)
{
    const QPoint at = Chart->axisRect()->center();
    QWheelEvent wheel(QPointF(at), Chart->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * Notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(Chart, &wheel);
}

}

void PrintTo(const QDateTime &Now, std::ostream *Out)
{
    *Out << Now.toString(Qt::ISODate).toStdString();
}

class ChartTicksInZone : public WindowTest, public ::testing::WithParamInterface<QDateTime> {
protected:
    // Every tick's label names the wall-clock time the tick stands at, and a tick stands where
    // its label's unit begins: a date at its midnight, a month on its first, a year at New Year.
    void ExpectTicksOnTheirLabels(TFormMain &Window, const char *After)
    {
        SCOPED_TRACE(After);
        Window.chartHistory->replot(QCustomPlot::rpImmediateRefresh);
        const QString pattern = dynamic_cast<TChartTicker &>(*Window.chartHistory->xAxis->ticker()).Pattern();
        const QVector<double> ticks = Window.chartHistory->xAxis->tickVector();
        const QVector<QString> labels = Window.chartHistory->xAxis->tickVectorLabels();
        ASSERT_GE(ticks.size(), 2) << pattern.toStdString();
        ASSERT_EQ(ticks.size(), labels.size());
        for (int i = 0; i < ticks.size(); ++i) {
            const TDateTime at = ChartKeyToDateTime(ticks[i]);
            const QDateTime fields = DateTimeToQt(at);
            SCOPED_TRACE(labels[i].toStdString() + " at " + fields.toString(Qt::ISODateWithMs).toStdString());
            EXPECT_EQ(labels[i], FormatDateTime(TLocaleFormats{}, pattern, at));
            EXPECT_TRUE(Window.chartHistory->xAxis->range().contains(ticks[i]));
            const bool dates = pattern.contains(QLatin1String("yyyy")) || pattern == QLatin1String("ddddd");
            if (dates) {
                EXPECT_EQ(fields.time(), QTime(0, 0));
            }
            if (pattern == QLatin1String("mmm yyyy") || pattern == QLatin1String("yyyy")) {
                EXPECT_EQ(fields.date().day(), 1);
            }
            if (pattern == QLatin1String("yyyy")) {
                EXPECT_EQ(fields.date().month(), 1);
            }
            if (pattern == QLatin1String("hh:nn")) {
                EXPECT_EQ(fields.time().second(), 0);
            }
            EXPECT_EQ(fields.time().msec(), 0);
        }
    }
};

TEST_P(ChartTicksInZone, LabelsStandAtTheirDayMonthAndYear)
{
    // The zone of the run is in force: Qt's local time follows it.
    const QByteArray zone = qgetenv("HELVANE_TEST_TZ");
    if (!zone.isEmpty()) {
        ASSERT_EQ(qgetenv("TZ"), zone);
        EXPECT_EQ(QDateTime(QDate(2024, 7, 1), QTime(12, 0)).offsetFromUtc(), QTimeZone(zone).offsetFromUtc(QDateTime(QDate(2024, 7, 1), QTime(12, 0), Qt::UTC)));
    }
    Now = GetParam();
    StoreDaysBefore(Now);
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    auto w = ShownWindow({QStringLiteral("mondrel")});
    ASSERT_EQ(w->FHistoryData.Count(), 240);
    ExpectTicksOnTheirLabels(*w, "the download");

    const std::pair<QPushButton *, const char *> buttons[] = {
        {w->btnNow, "Now"},       {w->btnToday, "Today"}, {w->btnThisWeek, "Actual week"},
        {w->btnThisYear, "Actual year"}, {w->btnThisMonth, "Actual month"}};
    for (const auto &[button, name] : buttons) {
        button->click();
        ExpectTicksOnTheirLabels(*w, name);
    }
    // From the month: into days and hours, then out to months and years.
    for (const int notches : {10, 10, -35, -15}) {
        Wheel(w->chartHistory, notches);
        ExpectTicksOnTheirLabels(*w, ("wheel " + std::to_string(notches)).c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Seasons, ChartTicksInZone,
                         ::testing::Values(QDateTime(QDate(2024, 7, 3), QTime(14, 20)),
                                           QDateTime(QDate(2024, 1, 17), QTime(9, 40))),
                         [](const ::testing::TestParamInfo<QDateTime> &Info) {
                             return Info.param.date().month() == 7 ? std::string("July") : std::string("January");
                         });
