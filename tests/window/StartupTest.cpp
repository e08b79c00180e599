#include "WindowFixture.h"

#include "app/Application.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <qcustomplot.h>

namespace {

enum class TMode { Owner, Technician, Engineering };

struct TModeCase {
    QStringList Arguments;
    TMode Mode;
};

bool Shown(const QWidget *Control)
{
    return !Control->isHidden();
}

bool Listed(const TFormMain &Window, QCPAbstractPlottable *Series)
{
    return Window.chartHistory->legend->hasItemWithPlottable(Series);
}

}

TEST_F(WindowTest, FirstArgumentChoosesTheOperatingMode)
{
    const std::vector<TModeCase> cases = {
        {{}, TMode::Owner},
        {{QString()}, TMode::Owner},
        {{QStringLiteral("mondrel")}, TMode::Technician},
        {{QStringLiteral("Mondrel")}, TMode::Owner},
        {{QStringLiteral("quintabok")}, TMode::Engineering},
        {{QStringLiteral("x"), QStringLiteral("quintabok")}, TMode::Owner},
    };
    for (const TModeCase &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        auto w = MakeWindow(c.Arguments);
        const bool extended = c.Mode != TMode::Owner;
        const bool engineering = c.Mode == TMode::Engineering;

        EXPECT_EQ(w->height(), extended ? 768 : 600);
        EXPECT_EQ(w->width(), 1024);
        EXPECT_EQ(w->MaxStringPower, extended ? 700.0f : 500.0f);
        for (const QWidget *control : std::initializer_list<const QWidget *>{
                 w->memLog, w->gbxService, w->pnlPWM1, w->pnlPWM2, w->pnlPWM3, w->lblU1, w->lblU2, w->lblU3,
                 w->lblTWaterControl, w->btnNow, w->btnRefreshUSB})
            EXPECT_EQ(Shown(control), extended) << control->metaObject()->className();
        for (const QWidget *control :
             std::initializer_list<const QWidget *>{w->gbxDev, w->btnMeasPV1, w->btnMeasPV2, w->btnMeasPV3})
            EXPECT_EQ(Shown(control), engineering);

        for (QCPAbstractPlottable *series :
             std::initializer_list<QCPAbstractPlottable *>{w->serP1, w->serP2, w->serP3, w->serU1, w->serU2, w->serU3}) {
            EXPECT_EQ(series->visible(), extended) << series->name().toStdString();
            EXPECT_TRUE(Listed(*w, series)) << series->name().toStdString();
        }
        for (QCPAbstractPlottable *series :
             std::initializer_list<QCPAbstractPlottable *>{w->serEnergy, w->serPWM1, w->serPWM2, w->serPWM3}) {
            EXPECT_EQ(series->visible(), extended) << series->name().toStdString();
            EXPECT_EQ(Listed(*w, series), extended) << series->name().toStdString();
        }
        for (QCPAbstractPlottable *series : std::initializer_list<QCPAbstractPlottable *>{w->serEnergyBar, w->serTW}) {
            EXPECT_TRUE(series->visible());
            EXPECT_TRUE(Listed(*w, series));
        }
    }
}

TEST_F(WindowTest, ChartHoldsTwelveSeriesInTheirOrder)
{
    auto w = MakeWindow();
    const std::vector<QCPAbstractPlottable *> expected = {w->serEnergy, w->serEnergyBar, w->serP1,   w->serP2,
                                                          w->serP3,     w->serTW,        w->serPWM1, w->serPWM2,
                                                          w->serPWM3,   w->serU1,        w->serU2,   w->serU3};
    ASSERT_EQ(w->chartHistory->plottableCount(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(w->chartHistory->plottable(i), expected[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(w->serEnergy->valueAxis(), w->chartHistory->yAxis2);
    auto technician = MakeWindow({QStringLiteral("mondrel")});
    QCPLegend *legend = technician->chartHistory->legend;
    ASSERT_EQ(legend->itemCount(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(static_cast<QCPPlottableLegendItem *>(legend->item(i))->plottable(), technician->chartHistory->plottable(i)) << i;
    EXPECT_EQ(w->serEnergyBar->valueAxis(), w->chartHistory->yAxis2);
    EXPECT_EQ(w->serU3->valueAxis(), w->chartHistory->yAxis);
}

TEST_F(WindowTest, CreationSetsTheStartState)
{
    Now = QDateTime(QDate(2017, 1, 1), QTime(12, 0));  // a Sunday in ISO week 52 of 2016
    auto w = MakeWindow();
    EXPECT_EQ(w->edtYeWe->value(), 1752);
    EXPECT_TRUE(w->lblError->text().isEmpty());
    EXPECT_TRUE(w->imgError->isHidden());
    EXPECT_TRUE(w->pnlAbout->isHidden());
    EXPECT_FALSE(w->pnlNotConnected->isHidden());
    EXPECT_TRUE(w->FMyHidDev.DevicePath.isEmpty());
    EXPECT_EQ(w->FHistoryData.Count(), 0);
    EXPECT_EQ(w->FLogFilePath, QDir(DataDir.path()).filePath(QStringLiteral("Data.log")));
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    EXPECT_EQ(w->timRefreshCurrentData->interval(), 1001);
    EXPECT_FALSE(w->btnSetDateTime->isEnabled());
    EXPECT_FALSE(w->btnSetTSoll->isEnabled());
}

TEST_F(WindowTest, ResizingBelowTheMinimumSnapsBack)
{
    auto w = ShownWindow();
    w->resize(800, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(1024, 600));
    EXPECT_EQ(w->pnlNotConnected->geometry(), w->rect());
}

TEST_F(WindowTest, CoverPanelsFollowTheWindowAndAnchoredControlsTheirEdges)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    w->resize(1200, 800);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->pnlNotConnected->geometry(), w->rect());
    EXPECT_EQ(w->pnlAbout->geometry(), w->rect());
    EXPECT_EQ(w->pnlTop->width() - w->lblAbout->geometry().right(), 1024 - (994 + 24 - 1));
    EXPECT_EQ(w->lblError->width(), 454 + 1200 - 1024);
    EXPECT_EQ(w->pnlNotConnected->height() - w->btnRefreshUSB->geometry().bottom(), 225 - (152 + 33 - 1));
    EXPECT_EQ(w->pnlHistory->height() - w->btnClearHistory->geometry().bottom(), 263 - (231 + 22 - 1));
}

TEST_F(WindowTest, UnloadableHidLibraryEndsStartWithItsMessage)
{
    TStartupOptions options = Options();
    options.HidLibraryFile = QStringLiteral("/nonexistent/libhidapi-missing.so");
    EXPECT_EQ(RunMainWindow(options), 1);
    ASSERT_EQ(Dialogs->Errors.size(), 1);
    EXPECT_TRUE(Dialogs->Errors.first().endsWith(QStringLiteral(": /nonexistent/libhidapi-missing.so")))
        << Dialogs->Errors.first().toStdString();
}

TEST_F(WindowTest, FailingHidInitialisationEndsStart)
{
    heatersim_fail_init(1);
    EXPECT_EQ(RunMainWindow(Options()), 1);
    EXPECT_EQ(Dialogs->Errors, QStringList{QStringLiteral("Can't initialize HIDAPI library")});
}
