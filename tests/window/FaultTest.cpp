#include "WindowFixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

}

class FaultTest : public WindowTest {
protected:
    // After the fault: no handle left open, the timer running, no progress dialog, no error box.
    void ExpectUsable(TFormMain &Window)
    {
        EXPECT_EQ(heatersim_open_handles(), 0);
        EXPECT_TRUE(Window.timRefreshCurrentData->isActive());
        EXPECT_EQ(OpenProgressDialog(), nullptr);
        EXPECT_TRUE(Dialogs->Errors.isEmpty()) << Dialogs->Errors.join(QLatin1Char('\n')).toStdString();
    }
};

TEST_F(FaultTest, RemovalInTheMiddleOfADumpEndsItWithTheError)
{
    auto w = Engineering();
    w->edtData->setText(QStringLiteral("1000"));
    TDuringExchange unplug([] { return heatersim_written_count() > 20; }, [] { heatersim_unplug(HeaterPath); });
    w->btnReadMem->click();
    const QStringList lines = LogLines(*w);
    EXPECT_TRUE(lines.filter(QStringLiteral("Error: ")).size() == 1) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_LT(lines.filter(QRegularExpression(QStringLiteral("^Data "))).size(), 4000);
    ExpectUsable(*w);
}

TEST_F(FaultTest, RemovalInTheMiddleOfACommandIsLogged)
{
    auto w = Engineering();
    TDuringExchange unplug([] { return heatersim_written_count() > 0; }, [] { heatersim_unplug(HeaterPath); });
    heatersim_set_reply_latency(5);   // the reply is on its way when the heater goes
    w->btnSetMax1->click();
    EXPECT_EQ(heatersim_written_count(), 1);
    EXPECT_EQ(LogLines(*w).filter(QStringLiteral("Error: ")).size(), 1);
    ExpectUsable(*w);
}

TEST_F(FaultTest, RemovalDuringASweepLeavesItWaitingForTheHeater)
{
    auto w = Engineering();
    w->btnMeasPV1->click();
    w->timRefreshCurrentDataTimer();
    heatersim_unplug(HeaterPath);
    w->timRefreshCurrentDataTimer();   // the status read and the step both fail, and say so
    EXPECT_EQ(LogLines(*w).filter(QStringLiteral("Error: ")).size(), 2);
    EXPECT_EQ(w->FMeasurePWM1, 998);
    EXPECT_TRUE(Dialogs->Errors.isEmpty());
}

// Twenty changes a second for ten seconds: the window follows, and ends connected when the
// heater is in, not connected when it is out.
TEST_F(FaultTest, PlugAndUnplugStormsEndInTheRightState)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    QElapsedTimer storm;
    storm.start();
    bool plugged = false;
    while (storm.elapsed() < 10000) {
        plugged = !plugged;
        if (plugged)
            heatersim_plug_heater(HeaterPath, L"V1.10");
        else
            heatersim_unplug(HeaterPath);
        QTest::qWait(50);
    }
    heatersim_plug_heater(HeaterPath, L"V1.10");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->pnlNotConnected->isHidden() && !w->FMyHidDev.DevicePath.isEmpty(); }, 10000));
    heatersim_unplug(HeaterPath);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->pnlNotConnected->isHidden() && w->FMyHidDev.DevicePath.isEmpty(); }, 10000));
    EXPECT_EQ(heatersim_open_handles(), 0);
    EXPECT_TRUE(Dialogs->Errors.isEmpty());
}
