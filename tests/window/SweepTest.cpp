#include "WindowFixture.h"

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

TBytes Pwm(std::uint8_t Command, int Value)
{
    TBytes report{0x00, Command, std::uint8_t(Value >> 24), std::uint8_t(Value >> 16), std::uint8_t(Value >> 8),
                  std::uint8_t(Value)};
    report.resize(65, 0);
    return report;
}

}

class SweepTest : public WindowTest {
protected:
    std::unique_ptr<TFormMain> Engineering()
    {
        heatersim_plug_heater(HeaterPath, L"V1.10");
        auto w = ShownWindow({QStringLiteral("quintabok")});
        w->timRefreshCurrentData->stop();
        heatersim_clear_written();
        return w;
    }

    // The PWM commands of a tick, the status read aside.
    static std::vector<TBytes> Tick(TFormMain &Window)
    {
        heatersim_clear_written();
        Window.timRefreshCurrentDataTimer();
        return WrittenReports();
    }

    QString DataLog() const
    {
        QFile file(QDir(DataDir.path()).filePath(QStringLiteral("Data.log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
};

TEST_F(SweepTest, SweepRunsFromAThousandDownToOneAndWritesItsFileOnce)
{
    auto w = Engineering();
    w->btnMeasPV1->click();
    EXPECT_EQ(w->btnMeasPV1->text(), QStringLiteral("Stop"));
    EXPECT_TRUE(LogLines(*w).contains(QStringLiteral("Start Measure 1")));
    EXPECT_TRUE(DataLog().contains(QStringLiteral("Start Measure 1\r\n")));
    const int before = w->FHistoryData.Count();

    EXPECT_EQ(Tick(*w), std::vector<TBytes>{Pwm(0x31, 1000)});
    EXPECT_EQ(Tick(*w), std::vector<TBytes>{Pwm(0x31, 999)});
    w->FMeasurePWM1 = 1;   // skip to the end of the sweep
    EXPECT_EQ(Tick(*w), std::vector<TBytes>{Pwm(0x31, 1)});
    const QString file = w->MeasurementFile(1);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(Tick(*w).empty());   // no 0 is sent; the file comes with the reading of the last step
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const int lines = static_cast<int>(csv.readAll().count("\r\n"));
    EXPECT_EQ(lines, 2 + w->FHistoryData.Count() - before);
    csv.remove();
    Tick(*w);
    EXPECT_FALSE(QFile::exists(file));   // once per sweep
    EXPECT_EQ(w->btnMeasPV1->text(), QStringLiteral("Stop"));   // a sweep that ran out keeps its text
}

TEST_F(SweepTest, StringsStepInOrderAndStopBetweenTicks)
{
    auto w = Engineering();
    w->btnMeasPV2->click();
    w->btnMeasPV1->click();
    EXPECT_EQ(Tick(*w), (std::vector<TBytes>{Pwm(0x31, 1000), Pwm(0x32, 1000)}));
    w->btnMeasPV2->click();
    EXPECT_EQ(w->btnMeasPV2->text(), QStringLiteral("Measure"));
    EXPECT_TRUE(DataLog().contains(QStringLiteral("Stop Measure 2\r\n")));
    EXPECT_EQ(Tick(*w), std::vector<TBytes>{Pwm(0x31, 999)});
    EXPECT_TRUE(QFile::exists(w->MeasurementFile(2)));
    EXPECT_FALSE(QFile::exists(w->MeasurementFile(1)));
}

// The stop click is handled while the step's own command waits for its reply.
TEST_F(SweepTest, StopInsideTheCommandExchangeEndsTheSweepAndWritesTheFileNextTick)
{
    auto w = Engineering();
    w->btnMeasPV3->click();
    QTimer::singleShot(0, w.get(), [&] { w->btnMeasPV3->click(); });
    EXPECT_EQ(Tick(*w), std::vector<TBytes>{Pwm(0x33, 1000)});
    EXPECT_LE(w->FMeasurePWM3, 0);
    EXPECT_TRUE(Tick(*w).empty());
    EXPECT_TRUE(QFile::exists(w->MeasurementFile(3)));
}

// The file of a sweep that ended holds the sweep's own readings: written on close when the next
// tick never came, and on removal of the heater, so that a reconnection cannot change it.
TEST_F(SweepTest, FileOfAnEndedSweepIsWrittenOnCloseAndOnRemovalFromItsOwnReadings)
{
    for (const bool close : {true, false}) {
        SCOPED_TRACE(close ? "close" : "removal");
        heatersim_reset();
        auto w = Engineering();
        w->btnMeasPV1->click();
        Tick(*w);
        Tick(*w);
        w->FMeasurePWM1 = 1;
        Tick(*w);   // the last step: three readings kept during the sweep
        const QString file = w->MeasurementFile(1);
        QFile::remove(file);
        if (close) {
            w->close();
        } else {
            heatersim_unplug(HeaterPath);
            QTRY_VERIFY(w->pnlNotConnected->isVisibleTo(w.get()));
        }
        QFile csv(file);
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        const QByteArray written = csv.readAll();
        csv.close();
        EXPECT_EQ(written.count("\r\n"), 2 + 3);
        if (close)
            continue;
        heatersim_plug_heater(HeaterPath, L"V1.10");
        QTRY_VERIFY_WITH_TIMEOUT(!w->pnlNotConnected->isVisibleTo(w.get()), 5000);
        Tick(*w);
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        EXPECT_EQ(csv.readAll(), written);
    }
}

// Older history loaded during a sweep is sorted in before the sweep's readings: the file still
// holds just those readings.
TEST_F(SweepTest, HistoryLoadedDuringASweepStaysOutOfItsFile)
{
    auto w = Engineering();
    w->btnMeasPV2->click();
    Tick(*w);
    const THistoryData first = w->FHistoryData.Items(w->FHistoryData.Count() - 1);
    THistoryData older = first;
    older.DT -= 30;
    w->FHistoryData.Add(older);
    w->FHistoryData.Sort();
    Tick(*w);
    w->btnMeasPV2->click();   // stop
    Tick(*w);
    ASSERT_EQ(w->MeasuredSamples(2).Count(), 0);
    QFile csv(w->MeasurementFile(2));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count("\r\n"), 2 + 3);
}
