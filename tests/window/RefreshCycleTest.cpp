#include "WindowFixture.h"

#include <QFile>
#include <QLabel>
#include <qcustomplot.h>
#include <QPushButton>
#include <QTimer>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

const QString WorkedLine = QStringLiteral(
    "Helvane (1709- 634): 07/04/2017 12:00:00, Tsoll=60°C, Err=0, TW=45.3, TW2=44.0, TB=28.5, U1=31.00, "
    "U2=0.00, U3=0.00, I1=10.00, I2=0.00, I3=0.00, PWM1=400, PWM2=0, PWM3=0, P1=310.0, P2=0.0, P3=0.0, "
    "E=12345, Uisol=63.8");

}

class RefreshCycleTest : public WindowTest {
protected:
    std::unique_ptr<TFormMain> Connected(const QStringList &Arguments)
    {
        heatersim_status status = ExampleStatus();
        heatersim_set_status(&status);
        heatersim_plug_heater(HeaterPath, L"V1.10");
        auto w = ShownWindow(Arguments);
        w->memLog->clear();
        return w;
    }

    QByteArray DataLog() const
    {
        QFile file(LogPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString LogPath() const { return QDir(DataDir.path()).filePath(QStringLiteral("Data.log")); }
};

TEST_F(RefreshCycleTest, OwnerModeRefreshesTheDisplayOnly)
{
    auto w = Connected({});
    for (int tick = 0; tick < 3; ++tick)
        w->timRefreshCurrentDataTimer();
    EXPECT_EQ(w->FHistoryData.Count(), 0);
    EXPECT_TRUE(w->memLog->toPlainText().isEmpty());
    EXPECT_FALSE(QFile::exists(LogPath()));
    EXPECT_EQ(heatersim_feature_reads(), 4);
}

TEST_F(RefreshCycleTest, TechnicianModeKeepsEveryReadingThreeWays)
{
    auto w = Connected({QStringLiteral("mondrel")});
    const int before = w->FHistoryData.Count();
    const QByteArray logBefore = DataLog();
    for (int tick = 0; tick < 3; ++tick)
        w->timRefreshCurrentDataTimer();
    EXPECT_EQ(w->FHistoryData.Count(), before + 3);
    EXPECT_EQ(w->FHistoryData.Items(w->FHistoryData.Count() - 1).Energy, 12345);
    EXPECT_EQ(LogLines(*w), (QStringList{WorkedLine, WorkedLine, WorkedLine}));
    const QByteArray expected = WorkedLine.toLatin1() + "\r\n";  // "°" is the one byte 0xB0
    EXPECT_EQ(DataLog(), logBefore + expected + expected + expected);
    EXPECT_EQ(w->FChart->Count(), static_cast<std::size_t>(w->FHistoryData.Count()));
}

TEST_F(RefreshCycleTest, ReadingWithU1Of255IsShownAndLoggedButNotKept)
{
    auto w = Connected({QStringLiteral("quintabok")});
    heatersim_status status = ExampleStatus();
    status.voltage[0] = 25500;
    heatersim_set_status(&status);
    const int before = w->FHistoryData.Count();
    w->btnGetStatus->click();
    EXPECT_EQ(w->FHistoryData.Count(), before);
    EXPECT_TRUE(LogLines(*w).first().contains(QStringLiteral("U1=255.00")));
    EXPECT_TRUE(DataLog().contains("U1=255.00"));
}

TEST_F(RefreshCycleTest, ExistingDataLogIsExtendedNeverOverwritten)
{
    {
        QFile file(LogPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier line\r\n");
    }
    auto w = Connected({QStringLiteral("mondrel")});
    w->RefreshCurrentData();
    EXPECT_TRUE(DataLog().startsWith("earlier line\r\nHelvane (1709- 634)"));
}

TEST_F(RefreshCycleTest, UnwritableDataLogIsReportedAndTriedAgainNextTick)
{
    auto w = Connected({QStringLiteral("mondrel")});
    QFile::remove(LogPath());
    ASSERT_TRUE(QDir(DataDir.path()).mkdir(QStringLiteral("Data.log")));  // a folder where the file should be
    const int before = w->FHistoryData.Count();
    w->timRefreshCurrentDataTimer();
    const QStringList lines = LogLines(*w);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], WorkedLine);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Error: Cannot write the data log")));
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_EQ(w->FHistoryData.Count(), before + 1);  // the sample was kept before the write failed

    ASSERT_TRUE(QDir(DataDir.path()).rmdir(QStringLiteral("Data.log")));
    w->timRefreshCurrentDataTimer();
    EXPECT_TRUE(DataLog().startsWith("Helvane (1709- 634)"));
}

TEST_F(RefreshCycleTest, FailedReadKeepsTheDisplayAndStillRedrawsTheChart)
{
    auto w = Connected({QStringLiteral("mondrel")});
    w->FHistoryData.Clear();
    heatersim_unplug(HeaterPath);
    w->RefreshCurrentData();
    EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: Can't open HID device"), QString()}));
    EXPECT_EQ(w->FChart->Count(), 0u);
    EXPECT_EQ(w->lblEnergy->text(), QStringLiteral("12,345Wh"));
}

// The memo is filled in the owner mode too, where it is hidden: an error text of any length
// costs it no more than one bounded line.
TEST_F(RefreshCycleTest, OverlongErrorTextsAreCutInTheMemo)
{
    auto w = Connected({});
    const std::wstring text(100000, L'e');
    heatersim_fail_read(text.c_str());
    w->RefreshCurrentData();
    w->RefreshCurrentData();
    const QStringList lines = LogLines(*w);
    ASSERT_EQ(lines.size(), 4);
    const QString cut = QStringLiteral("Error: ") + QString(4096 - 7, QLatin1Char('e'))
        + QStringLiteral(" [... %1 more characters]").arg(100000 + 7 - 4096);
    EXPECT_EQ(lines[0], cut);
    EXPECT_EQ(lines[2], cut);
    EXPECT_TRUE(lines[1].isEmpty());
}
