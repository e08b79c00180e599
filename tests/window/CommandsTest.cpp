#include "WindowFixture.h"

#include "app/Dialogs.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

// The focus as a click gives it.
void FocusIn(QWidget *Editor)
{
    QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(Editor, &focus);
}

}

class CommandsTest : public WindowTest {
protected:
    std::unique_ptr<TFormMain> Connected(const QStringList &Arguments = {QStringLiteral("mondrel")})
    {
        heatersim_plug_heater(HeaterPath, L"V1.10");
        auto w = ShownWindow(Arguments);
        heatersim_clear_written();
        w->memLog->clear();
        return w;
    }
};

TEST_F(CommandsTest, SetRequestWritesTheCommandAndLogsTheByteCount)
{
    auto w = Connected();
    w->SetRequest(0x21, 1491559200);
    EXPECT_EQ(WrittenReports(), (std::vector<TBytes>{Sent({0x00, 0x21, 0x58, 0xE7, 0x63, 0x20})}));
    EXPECT_EQ(LogLines(*w), QStringList{QStringLiteral("SetRequest res=65")});
    EXPECT_FALSE(w->FHid->Active());
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
}

TEST_F(CommandsTest, SetRequestLeavesAnOpenDeviceOpenAndItsLateReplyQueued)
{
    auto w = Connected();
    heatersim_set_reply_lag(1);
    w->FHid->Open(QString::fromLatin1(HeaterPath));
    EXPECT_TRUE(w->SetRequest(0x20, 60).empty());
    EXPECT_TRUE(w->FHid->Active());
    EXPECT_FALSE(w->FHid->Read().empty());  // the reply that came too late for the 2 ms wait
    w->FHid->Close();
}

TEST_F(CommandsTest, WithoutHeaterEveryCommandLogsTheOpenErrorAndEnablesTheTimer)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    for (const auto handler : {&TFormMain::btnSetPWM1Click, &TFormMain::btnSetMax2Click, &TFormMain::btnSetNull3Click,
                               &TFormMain::btnAutoPWM1Click, &TFormMain::btnSetSNClick, &TFormMain::btnSetLocalDTClick}) {
        w->memLog->clear();
        w->timRefreshCurrentData->stop();
        ((*w).*handler)();
        EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: Can't open HID device"), QString()}));
        EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    }
    EXPECT_EQ(w->edtPWM2->value(), 1000);  // the spin box keeps the value the button set
    EXPECT_EQ(heatersim_written_count(), 0);
}

TEST_F(CommandsTest, FailedWriteIsLoggedAndTheDeviceClosed)
{
    auto w = Connected();
    heatersim_fail_write(L"Broken pipe");
    for (const int result : {-1, -7}) {
        heatersim_set_failure_result(result);
        w->memLog->clear();
        w->SetRequest(0x20, 60);
        EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: Broken pipe"), QString()})) << result;
        EXPECT_EQ(heatersim_open_handles(), 0);
        EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    }
}

TEST_F(CommandsTest, PwmButtonsSetTheSpinBoxAndSendItsValue)
{
    auto w = Connected();
    const struct {
        QPushButton *Button;
        QSpinBox *Edit;
        int Shown;
        TBytes Report;
    } cases[] = {
        {w->btnAutoPWM2, w->edtPWM2, -1, Sent({0x00, 0x32, 0xFF, 0xFF, 0xFF, 0xFF})},
        {w->btnSetMax3, w->edtPWM3, 1000, Sent({0x00, 0x33, 0x00, 0x00, 0x03, 0xE8})},
        {w->btnSetNull1, w->edtPWM1, 0, Sent({0x00, 0x31, 0x00, 0x00, 0x00, 0x00})},
    };
    for (const auto &c : cases) {
        heatersim_clear_written();
        c.Edit->setValue(500);
        c.Button->click();
        EXPECT_EQ(c.Edit->value(), c.Shown);
        EXPECT_EQ(WrittenReports(), std::vector<TBytes>{c.Report});
    }
    heatersim_clear_written();
    w->edtPWM1->setValue(500);
    w->btnSetPWM1->click();
    EXPECT_EQ(WrittenReports(), std::vector<TBytes>{Sent({0x00, 0x31, 0x00, 0x00, 0x01, 0xF4})});
    heatersim_status status;
    heatersim_get_status(&status);
    EXPECT_EQ(status.pwm[0], 500);
}

TEST_F(CommandsTest, SerialNumberJoinsYearWeekAndNumber)
{
    auto w = Connected();
    const struct {
        int YearWeek, Number;
        TBytes Report;
    } cases[] = {
        {1714, 1001, Sent({0x00, 0x2F, 0x01, 0x05, 0x8D, 0x09})},
        {1000, 1000, Sent({0x00, 0x2F, 0x00, 0x98, 0x9A, 0x68})},
        {9999, 9999, Sent({0x00, 0x2F, 0x05, 0xF5, 0xE0, 0xFF})},
    };
    for (const auto &c : cases) {
        heatersim_clear_written();
        w->edtYeWe->setValue(c.YearWeek);
        w->edtSerNr->setValue(c.Number);
        w->btnSetSN->click();
        EXPECT_EQ(WrittenReports(), std::vector<TBytes>{c.Report});
    }
}

TEST_F(CommandsTest, SetpointAsksBelowAndAbove60)
{
    auto w = Connected();
    const struct {
        int Setpoint;
        bool Answer;
        const char *Question;
        bool Sent;
    } cases[] = {
        {60, false, nullptr, true},
        {59, false, "sMsgTempBelow60", false},
        {45, true, "sMsgTempBelow60", true},
        {61, true, "sMsgHotWater", true},
        {85, false, "sMsgHotWater", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Setpoint);
        heatersim_clear_written();
        Dialogs->Confirmations.clear();
        Dialogs->Answers = {c.Answer};
        FocusIn(w->edtTSoll);
        EXPECT_TRUE(w->FTSollChanged);
        EXPECT_TRUE(w->btnSetTSoll->isEnabled());
        w->edtTSoll->setValue(c.Setpoint);
        w->btnSetTSoll->click();
        EXPECT_EQ(Dialogs->Confirmations,
                  c.Question ? QStringList{w->Translate(QString::fromLatin1(c.Question))} : QStringList{});
        EXPECT_EQ(WrittenReports(),
                  c.Sent ? std::vector<TBytes>{Sent({0x00, 0x20, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(c.Setpoint)})}
                         : std::vector<TBytes>{});
        EXPECT_FALSE(w->FTSollChanged);
        EXPECT_FALSE(w->btnSetTSoll->isEnabled());
    }
    // Following the device again: the next refresh shows its setpoint.
    w->edtTSoll->setValue(70);
    w->RefreshCurrentData();
    heatersim_status status;
    heatersim_get_status(&status);
    EXPECT_EQ(w->edtTSoll->value(), status.setpoint);
}

TEST_F(CommandsTest, EnterOnTheConfirmationAnswersNo)
{
    TMessageDialogs dialogs;
    QTimer::singleShot(0, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_FALSE(dialogs.Confirm(QStringLiteral("Are you sure?")));
}

TEST_F(CommandsTest, ClockFromTheEditorsTakesTheDateOfOneAndTheTimeOfTheOther)
{
    auto w = Connected();
    FocusIn(w->edtTime);
    EXPECT_TRUE(w->FDTChanged);
    EXPECT_TRUE(w->btnSetDateTime->isEnabled());
    w->edtDate->setDate(QDate(2017, 4, 7));
    w->edtTime->setTime(QTime(12, 0));
    w->btnSetDateTime->click();
    EXPECT_EQ(WrittenReports(), std::vector<TBytes>{Sent({0x00, 0x21, 0x58, 0xE7, 0x63, 0x20})});
    EXPECT_TRUE(w->FDTChanged);
    EXPECT_TRUE(w->btnSetDateTime->isEnabled());

    w->RefreshCurrentData();  // the editors keep the user's value from now on
    EXPECT_EQ(w->edtTime->time(), QTime(12, 0));
}

TEST_F(CommandsTest, LocalTimeGoesToTheEditorsAndTheHeaterWithoutMilliseconds)
{
    Now = QDateTime(QDate(2017, 4, 7), QTime(12, 0, 0, 789));
    auto w = Connected();
    w->btnSetLocalDT->click();
    EXPECT_EQ(w->edtDate->date(), QDate(2017, 4, 7));
    EXPECT_EQ(w->edtTime->time(), QTime(12, 0, 0, 789));
    EXPECT_EQ(WrittenReports(), std::vector<TBytes>{Sent({0x00, 0x21, 0x58, 0xE7, 0x63, 0x20})});
    EXPECT_FALSE(w->FDTChanged);
    w->RefreshCurrentData();  // and the heater's clock shows again
    heatersim_status status;
    heatersim_get_status(&status);
    EXPECT_EQ(status.clock, 1491559200u);
    EXPECT_EQ(w->edtTime->time(), QTime(12, 0));
}

TEST_F(CommandsTest, FirmwareUpdateAfterYesSendsTheCommandAndCloses)
{
    auto w = Connected();
    Dialogs->Answers = {false};
    w->mnuUpdateFW->trigger();
    EXPECT_EQ(Dialogs->Confirmations, QStringList{w->Translate(QStringLiteral("sMsgFlashFW"))});
    EXPECT_EQ(heatersim_written_count(), 0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());

    Dialogs->Answers = {true};
    w->mnuUpdateFW->trigger();
    EXPECT_EQ(WrittenReports(), std::vector<TBytes>{Sent({0x00, 0x40, 0x00, 0x00, 0x00, 0x00})});
    EXPECT_EQ(heatersim_in_firmware_mode(), 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->timRefreshCurrentData->isActive());
}

TEST_F(CommandsTest, FirmwareVersionLabelOpensTheMenu)
{
    auto w = Connected();
    QTest::mouseClick(w->lblFWVer, Qt::LeftButton);
    EXPECT_TRUE(w->mnuFW->isVisible());
    w->mnuFW->hide();
}

TEST_F(CommandsTest, ClickingIntoTheEditorsCountsAsEditing)
{
    auto w = Connected();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::mouseClick(w->edtTSoll, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(w->FTSollChanged);
    EXPECT_TRUE(w->btnSetTSoll->isEnabled());
    EXPECT_FALSE(w->FDTChanged);
    QTest::mouseClick(w->edtTime, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(w->FDTChanged);
    EXPECT_TRUE(w->btnSetDateTime->isEnabled());
}
