#include "WindowFixture.h"

#include "app/ProgressDlg.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

class DevToolsTest : public WindowTest {};

TEST_F(DevToolsTest, MemoryDumpOfTheDesignedTextsLogsFourHundredRows)
{
    auto w = Engineering();
    w->btnReadMem->click();
    TBytes request{0x00, 0x02, 0x00, 0xFF, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x64};
    request.resize(65, 0);
    EXPECT_EQ(WrittenReports().front(), request);
    const QStringList lines = LogLines(*w);
    EXPECT_EQ(lines.at(0), QStringLiteral("Get Data @FFF000 (100):  res=65"));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("Ready: ")));
    const QStringList rows = lines.filter(QRegularExpression(QStringLiteral("^Data ")));
    ASSERT_EQ(rows.size(), 400);
    EXPECT_TRUE(rows.first().startsWith(QStringLiteral("Data FFF000 ")));
    EXPECT_TRUE(rows.last().startsWith(QStringLiteral("Data 10008F0 ")));
    EXPECT_TRUE(rows.last().endsWith(QStringLiteral(" res=65")));
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    EXPECT_EQ(heatersim_open_handles(), 0);
}

TEST_F(DevToolsTest, MemoryDumpCountsAndAddressesFromTheEdits)
{
    auto w = Engineering();
    const struct {
        const char *Address, *Count;
        int Rows;
        const char *Request;
    } cases[] = {
        {"$1000", "0", 0, "Get Data @001000 (0):  res=65"},
        {"$1000", "-2", 0, "Get Data @001000 (-2):  res=65"},
        {"x", "3", 12, "Get Data @000000 (3):  res=65"},
        {"16", "abc", 400, "Get Data @000010 (100):  res=65"},
    };
    for (const auto &c : cases) {
        w->memLog->clear();
        w->edtAddr->setText(QString::fromLatin1(c.Address));
        w->edtData->setText(QString::fromLatin1(c.Count));
        w->btnReadMem->click();
        const QStringList lines = LogLines(*w);
        EXPECT_EQ(lines.first(), QString::fromLatin1(c.Request)) << c.Count;
        EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^Data "))).size(), c.Rows) << c.Count;
    }
}

TEST_F(DevToolsTest, CancelEndsADumpOfAHeaterThatNeverAnswers)
{
    auto w = Engineering();
    heatersim_set_silent(1);
    TDuringExchange cancel([] { return heatersim_written_count() > 50 && OpenProgressDialog(); },
                           [] { OpenProgressDialog()->btnCancel->click(); });
    w->btnReadMem->click();
    EXPECT_GT(heatersim_written_count(), 50);
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    EXPECT_EQ(heatersim_open_handles(), 0);
}

TEST_F(DevToolsTest, WithoutHeaterTheDumpReportsInABoxAndLeavesTheTimerOff)
{
    auto w = Engineering();
    heatersim_refuse_open(1);
    w->btnReadMem->click();
    EXPECT_EQ(Dialogs->Errors, QStringList{QStringLiteral("Can't open HID device")});
    EXPECT_TRUE(w->memLog->toPlainText().isEmpty());
    EXPECT_FALSE(w->timRefreshCurrentData->isActive());
}

TEST_F(DevToolsTest, FlashTableDumpLogsItsSixtyFourReplies)
{
    auto w = Engineering();
    w->btnGetFlashTable->click();
    const QStringList lines = LogLines(*w);
    EXPECT_EQ(lines.at(0), QStringLiteral("SetRequest res=65"));
    EXPECT_EQ(lines.at(1), QStringLiteral("Get FTable: 64"));
    EXPECT_TRUE(lines.at(2).startsWith(QStringLiteral("Ready: ")));
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^Data: .* res=65$"))).size(), 64);
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
}

TEST_F(DevToolsTest, SectorEraseTakesOnlyIntegerTextAndAsksFirst)
{
    auto w = Engineering();
    for (const char *text : {"$FFF000", "0xFFF000", "16773120"}) {
        heatersim_clear_written();
        w->edtAddr->setText(QString::fromLatin1(text));
        Dialogs->Answers = {true};
        w->btnClearSector->click();
        EXPECT_EQ(WrittenReports(), std::vector<TBytes>{Sent({0x00, 0x22, 0x00, 0xFF, 0xF0, 0x00})}) << text;
        EXPECT_EQ(Dialogs->Confirmations.takeLast(), QStringLiteral("Erase the flash sector at $FFF000?"));
    }
    // No, the default, sends nothing; the question follows the language.
    heatersim_clear_written();
    w->SetLanguage(TLanguage::German);
    w->edtAddr->setText(QStringLiteral("$1000"));
    w->btnClearSector->click();
    EXPECT_EQ(heatersim_written_count(), 0);
    EXPECT_EQ(Dialogs->Confirmations.takeLast(), QStringLiteral("Den Flash-Sektor bei $001000 löschen?"));

    w->memLog->clear();
    w->edtAddr->setText(QStringLiteral("FFF000"));
    w->btnClearSector->click();
    EXPECT_EQ(heatersim_written_count(), 0);
    EXPECT_TRUE(Dialogs->Confirmations.isEmpty());
    EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: 'FFF000' is not a valid integer value"), QString()}));
}
