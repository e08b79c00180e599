// What a person does besides clicking while the heater is busy: Escape and the close button of the
// progress dialog, a box left open, closing the window; none leaves the window stuck or running on.

#include "WindowFixture.h"
#include "support/StoredHistory.h"

#include "app/Dialogs.h"

#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

// Five weeks of hourly records below 60 °C: the download ends in the legionella warning.
std::vector<TRecord> ColdWeeks()
{
    std::vector<TRecord> records;
    for (int i = 0; i < 35 * 24; ++i)
        records.push_back(Record(April7 + 0.5 - i / 24.0, 40, 100));
    return records;
}

}

class OrdinaryActionsTest : public WindowTest {};

// Escape and the dialog's close act as Cancel: the dialog stays on screen until the read-out has
// ended, which it does at once; then the polls run again.
TEST_F(OrdinaryActionsTest, EscapeAndCloseOnTheProgressDialogCancelTheDownload)
{
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "close");
        heatersim_reset();
        Store(Hourly(1200));
        heatersim_plug_heater(HeaterPath, L"V1.10");
        auto w = MakeWindow({QStringLiteral("mondrel")});
        bool shownAfter = false;
        TDuringExchange cancel([] { return BlockRequests() >= 10 && OpenProgressDialog(); }, [&] {
            TdlgProgress *dialog = OpenProgressDialog();
            if (escape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
            shownAfter = dialog->isVisible() && dialog->Cancelled;
        });
        Show(*w);
        EXPECT_TRUE(shownAfter);
        EXPECT_LT(w->FHistoryData.Count(), 1200);
        EXPECT_EQ(OpenProgressDialog(), nullptr);
        EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    }
}

// A dump against a heater that has stopped answering ends by itself, says so, and has not flooded
// the heater with requests; Escape ends it sooner.
TEST_F(OrdinaryActionsTest, DumpOfASilentHeaterEnds)
{
    auto w = Engineering();
    heatersim_set_silent(1);
    w->edtData->setText(QStringLiteral("100000"));
    w->btnReadMem->click();
    EXPECT_TRUE(LogLines(*w).contains(QStringLiteral("No reply: the heater fell silent after 0 of 100000")));
    EXPECT_LT(BlockRequests(), 5000);
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());

    heatersim_clear_written();
    TDuringExchange escape([] { return OpenProgressDialog() != nullptr; },
                           [] { QTest::keyClick(OpenProgressDialog(), Qt::Key_Escape); });
    w->btnGetFlashTable->click();
    EXPECT_EQ(OpenProgressDialog(), nullptr);
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
}

// The warning at the end of the connection's download waits until the heater is let go: the window
// is on the screen, the timer runs and a poll reads the heater while the box is open, and the same
// warning from a second download meanwhile is not stacked on it.
TEST_F(OrdinaryActionsTest, BoxAtConnectionLetsThePollsGoOn)
{
    Store(ColdWeeks());
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = MakeWindow({QStringLiteral("quintabok")});
    bool acted = false, exposed = false, polling = false;
    int readsWhileOpen = 0;
    Dialogs->WhileOpen = [&](const QString &) {
        if (std::exchange(acted, true))
            return;
        exposed = w->windowHandle()->isExposed();
        polling = w->timRefreshCurrentData->isActive();
        const int before = heatersim_feature_reads();
        w->btnGetStatus->click();
        readsWhileOpen = heatersim_feature_reads() - before;
        w->GetHistoryData(300, true);   // as a replug would: the same warning again
        Settle();
    };
    Show(*w);
    Settle();
    ASSERT_EQ(Dialogs->Warnings.size(), 1);
    EXPECT_TRUE(Dialogs->Warnings.first().startsWith(QStringLiteral("Legionella risk!")));
    EXPECT_TRUE(exposed);
    EXPECT_TRUE(polling);
    EXPECT_EQ(readsWhileOpen, 1);
}

// Closing the window in the middle of a download cancels it: nothing more is written to the
// heater, the timer stays off, no box shows, the device is let go.
TEST_F(OrdinaryActionsTest, ClosingDuringADownloadEndsEverything)
{
    Store(ColdWeeks());
    heatersim_set_reply_latency(1);
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = MakeWindow({QStringLiteral("mondrel")});
    int writtenAtClose = -1;
    TDuringExchange close([] { return BlockRequests() >= 20; }, [&] {
        writtenAtClose = heatersim_written_count();
        w->close();
    });
    Show(*w);
    Settle();
    ASSERT_GE(writtenAtClose, 0);
    EXPECT_EQ(heatersim_written_count(), writtenAtClose);
    EXPECT_FALSE(w->timRefreshCurrentData->isActive());
    EXPECT_TRUE(Dialogs->Warnings.isEmpty());
    EXPECT_TRUE(Dialogs->Errors.isEmpty());
    EXPECT_EQ(heatersim_open_handles(), 0);
    EXPECT_EQ(OpenProgressDialog(), nullptr);
}

// A heater whose clock stands still delivers live readings with one time stamp: each stays in the
// list, also after "Load more Data".
TEST_F(OrdinaryActionsTest, LiveReadingsOfAStoppedClockStayAfterLoadingMore)
{
    Store(Hourly(40));
    heatersim_set_clock_running(0);
    auto w = Engineering();
    for (int poll = 0; poll < 3; ++poll)
        w->RefreshCurrentData();
    const TDateTime live = w->FHistoryData.Items(w->FHistoryData.Count() - 1).DT;
    const auto liveRows = [&] {
        return std::count_if(w->FHistoryData.begin(), w->FHistoryData.end(),
                             [&](const THistoryData &Sample) { return Sample.DT == live; });
    };
    ASSERT_EQ(liveRows(), 4);   // the connection's reading and three polls
    w->btnLoadMoreData->click();
    EXPECT_EQ(liveRows(), 4);
}

// The buttons of message boxes speak the window's language.
TEST_F(OrdinaryActionsTest, BoxButtonsFollowTheLanguage)
{
    auto w = ShownWindow();
    for (const auto &[language, yes, no] : {std::tuple{TLanguage::English, "&Yes", "&No"}, std::tuple{TLanguage::German, "&Ja", "&Nein"}}) {
        w->SetLanguage(language);
        QStringList texts;
        QString caption;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            caption = box->windowTitle();
            texts << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
            box->button(QMessageBox::No)->click();
        });
        EXPECT_FALSE(TMessageDialogs().Confirm(QStringLiteral("?")));
        EXPECT_EQ(texts, (QStringList{QString::fromUtf8(yes), QString::fromUtf8(no)}));
        EXPECT_EQ(caption, QApplication::applicationDisplayName());
    }
    w->SetLanguage(TLanguage::English);
}
