#include "WindowFixture.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

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

    QString LogPath() const { return QDir(DataDir.path()).filePath(QStringLiteral("Data.log")); }

    QByteArray DataLog() const
    {
        QFile file(LogPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A tick whose data-log line cannot be written: the memo says so, the sample is kept.
    void ExpectTickWithoutLogLine(TFormMain &Window)
    {
        const int kept = Window.FHistoryData.Count();
        Window.memLog->clear();
        Window.timRefreshCurrentDataTimer();
        EXPECT_EQ(LogLines(Window).filter(QStringLiteral("Error: Cannot write the data log")).size(), 1);
        EXPECT_EQ(Window.FHistoryData.Count(), kept + 1);
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

#ifdef Q_OS_LINUX
TEST_F(FaultTest, ReadOnlyDataLogFolderIsReportedEachTickAndTheLogStartsWholeAfterwards)
{
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = ShownWindow({QStringLiteral("mondrel")});
    ASSERT_TRUE(QFile::remove(LogPath()));   // the connection's own reading wrote the first line
    const QFile::Permissions writable = QFile::permissions(DataDir.path());
    {
        const TWithoutPermissionOverride asUser;
        ASSERT_TRUE(QFile::setPermissions(DataDir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const auto restore = qScopeGuard([&] { QFile::setPermissions(DataDir.path(), writable); });
        ExpectTickWithoutLogLine(*w);
        ExpectTickWithoutLogLine(*w);
    }
    EXPECT_FALSE(QFile::exists(LogPath()));
    w->timRefreshCurrentDataTimer();
    const QList<QByteArray> lines = DataLog().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Helvane (") && lines[0].endsWith('\r'));
    ExpectUsable(*w);
}

// A file-size limit makes the system take part of a line and refuse the rest, as a full disk does.
TEST_F(FaultTest, FullDiskLeavesOnlyWholeLinesInTheDataLog)
{
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = ShownWindow({QStringLiteral("mondrel")});
    const QByteArray before = DataLog();
    ASSERT_TRUE(before.endsWith("\r\n"));

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    {
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &original); });
        rlimit full = original;
        full.rlim_cur = static_cast<rlim_t>(before.size() + 40);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
        ExpectTickWithoutLogLine(*w);
    }
    EXPECT_EQ(DataLog(), before);
    w->timRefreshCurrentDataTimer();
    EXPECT_EQ(DataLog().count("\r\n"), before.count("\r\n") + 1);
    EXPECT_TRUE(DataLog().startsWith(before + "Helvane ("));
    ExpectUsable(*w);
}
#endif
