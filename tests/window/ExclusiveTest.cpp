// The heater is held by one exchange at a time: whatever the window is asked to do meanwhile
// starts no second exchange, and the first ends as it would alone.

#include "WindowFixture.h"

#include "support/StoredHistory.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <algorithm>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

// The reports written, each run of the same report once: how many requests a transfer writes
// before its silence ends it is the heater's timing, not the window's.
std::vector<TBytes> Collapsed(std::vector<TBytes> Reports)
{
    Reports.erase(std::unique(Reports.begin(), Reports.end()), Reports.end());
    return Reports;
}

struct TOutcome {
    int WrittenCount = 0;
    std::vector<TBytes> Written;
    int StatusReads = 0;
    QStringList Log;
    int Samples = 0;
    bool Sorted = false;
};

}

class ExclusiveTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        Store(Hourly(2000));
    }

    std::unique_ptr<TFormMain> Connected()
    {
        heatersim_plug_heater(HeaterPath, L"V1.10");
        auto w = ShownWindow({QStringLiteral("quintabok")});
        w->timRefreshCurrentData->stop();
        // Every question is answered Yes and every file has a place, so that any handler that
        // ran would reach the heater.
        Dialogs->Answers.assign(100, true);
        Dialogs->SavePath = QDir(DataDir.path()).filePath(QStringLiteral("export.csv"));
        for (QPushButton *button : w->findChildren<QPushButton *>())
            button->setEnabled(true);
        heatersim_clear_written();
        FStatusReadsBefore = heatersim_feature_reads();
        w->memLog->clear();
        return w;
    }

    // Everything in the window that would talk to the heater, each a click or an event.
    static std::vector<std::pair<std::string, std::function<void()>>> Intruders(TFormMain &W)
    {
        std::vector<std::pair<std::string, std::function<void()>>> intruders;
        for (QPushButton *button :
             {W.btnRefreshUSB, W.btnGetStatus, W.btnSetDateTime, W.btnSetLocalDT, W.btnSetTSoll, W.btnSetPWM1, W.btnSetPWM2,
              W.btnSetPWM3, W.btnSetMax1, W.btnSetMax2, W.btnSetMax3, W.btnAutoPWM1, W.btnAutoPWM2, W.btnAutoPWM3,
              W.btnSetNull1, W.btnSetNull2, W.btnSetNull3, W.btnSetSN, W.btnLoadMoreData, W.btnGetData, W.btnReadMem,
              W.btnGetFlashTable, W.btnClearSector, W.btnExportHistory, W.btnClearHistory})
            intruders.emplace_back(button->objectName().isEmpty() ? button->text().toStdString() : button->objectName().toStdString(),
                                   [button] { button->click(); });
        intruders.emplace_back("firmware update", [&W] { W.mnuUpdateFW->trigger(); });
        intruders.emplace_back("poll timer", [&W] { W.timRefreshCurrentData->start(0); });
        intruders.emplace_back("another heater plugged in", [] { heatersim_plug_heater("/dev/hidraw-heater1", L"V1.10"); });
        return intruders;
    }

    int FStatusReadsBefore = 0;

    TOutcome Outcome(const TFormMain &Window) const
    {
        TOutcome outcome;
        outcome.WrittenCount = heatersim_written_count();
        outcome.Written = Collapsed(WrittenReports());
        outcome.StatusReads = heatersim_feature_reads() - FStatusReadsBefore;
        outcome.Log = LogLines(Window);
        outcome.Samples = Window.FHistoryData.Count();
        outcome.Sorted = std::is_sorted(Window.FHistoryData.begin(), Window.FHistoryData.end(),
                                        [](const THistoryData &A, const THistoryData &B) { return A.DT < B.DT; });
        return outcome;
    }

    // Runs the exchange alone, then once per intruder that strikes in its middle: each run ends
    // as the lone one did, reports, log lines and list alike.
    void ExpectUndisturbed(const std::function<void(TFormMain &)> &Exchange, int StrikeAfterReports)
    {
        TOutcome alone;
        {
            auto w = Connected();
            Exchange(*w);
            alone = Outcome(*w);
        }
        ASSERT_GT(alone.WrittenCount, StrikeAfterReports);
        heatersim_reset();
        Store(Hourly(2000));
        auto probe = Connected();
        const std::size_t count = Intruders(*probe).size();
        probe.reset();
        for (std::size_t i = 0; i < count; ++i) {
            heatersim_reset();
            Store(Hourly(2000));
            auto w = Connected();
            const auto [name, strike] = Intruders(*w)[i];
            SCOPED_TRACE(name);
            bool struck = false;
            TDuringExchange during([&] { return heatersim_written_count() > StrikeAfterReports && OpenProgressDialog(); },
                                   [&] {
                                       strike();
                                       struck = true;
                                   });
            Exchange(*w);
            ASSERT_TRUE(struck);
            w->timRefreshCurrentData->stop();
            const TOutcome outcome = Outcome(*w);
            EXPECT_EQ(outcome.Written, alone.Written);
            EXPECT_EQ(outcome.StatusReads, alone.StatusReads);
            EXPECT_EQ(outcome.Log, alone.Log);
            EXPECT_EQ(outcome.Samples, alone.Samples);
            EXPECT_EQ(outcome.Sorted, alone.Sorted);
            EXPECT_TRUE(Dialogs->Errors.isEmpty()) << Dialogs->Errors.join(QLatin1Char('\n')).toStdString();
        }
    }
};

TEST_F(ExclusiveTest, NothingStartsDuringADownload)
{
    ExpectUndisturbed([](TFormMain &W) { W.btnLoadMoreData->click(); }, 20);
}

TEST_F(ExclusiveTest, NothingStartsDuringAMemoryDump)
{
    ExpectUndisturbed(
        [](TFormMain &W) {
            W.edtAddr->setText(QStringLiteral("$1000"));
            W.edtData->setText(QStringLiteral("150"));
            W.btnReadMem->click();
        },
        20);
}

// A heater pulled out during a download ends the download with its error; the window takes note
// of the removal once the download has cleaned up, not in its middle.
TEST_F(ExclusiveTest, RemovalDuringADownloadIsHandledWhenItEnds)
{
    auto w = Connected();
    TDuringExchange unplug([] { return heatersim_written_count() > 20; }, [] { heatersim_unplug(HeaterPath); });
    w->btnLoadMoreData->click();
    EXPECT_FALSE(w->pnlNotConnected->isVisibleTo(w.get()));
    QTRY_VERIFY(w->pnlNotConnected->isVisibleTo(w.get()));
    const QStringList lines = LogLines(*w);
    const auto removed = std::find(lines.begin(), lines.end(), QStringLiteral("Helvane device removed"));
    ASSERT_NE(removed, lines.end());
    EXPECT_EQ(std::count_if(lines.begin(), removed, [](const QString &Line) { return Line.startsWith(QStringLiteral("Error: ")); }), 1)
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(w->FHistoryData.Count(), 0);
    EXPECT_EQ(heatersim_open_handles(), 0);
}
