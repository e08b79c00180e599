#include "WindowFixture.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

}

class FocusTest : public WindowTest {
protected:
    // The window as the user first sees it: shown, and made the active window.
    std::unique_ptr<TFormMain> ActiveWindow(const QStringList &Arguments)
    {
        auto w = ShownWindow(Arguments);
        Activate(*w);
        return w;
    }

    static void Activate(QWidget &Window)
    {
        Window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    }

    // Keys go where the keyboard focus is, as typing does.
    static void Type(TFormMain &Window, Qt::Key Key)
    {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &Window, Key);
    }

    // Check runs on a fresh, active window of each mode, with the heater plugged or not.
    template <class F>
    void ForEachMode(bool Plugged, F &&Check)
    {
        for (const QStringList &mode : Modes()) {
            SCOPED_TRACE(ModeName(mode));
            heatersim_reset();
            if (Plugged)
                heatersim_plug_heater(HeaterPath, L"V1.10");
            auto w = ActiveWindow(mode);
            Check(mode, *w);
        }
    }

    // The heater's clock moves on between polls; the editors show it while the user leaves them.
    void ExpectEditorsFollowTwoPolls(TFormMain &Window)
    {
        heatersim_status status = ExampleStatus();
        for (int poll = 1; poll <= 2; ++poll) {
            status.clock += 7;
            status.setpoint = 60 + poll;
            heatersim_set_status(&status);
            Window.RefreshCurrentData();
            EXPECT_EQ(Window.edtTime->time(), QTime(12, 0, 7 * poll)) << "poll " << poll;
            EXPECT_EQ(Window.edtDate->date(), QDate(2017, 4, 7));
            EXPECT_EQ(Window.edtTSoll->value(), 60 + poll);
        }
        EXPECT_FALSE(Window.FDTChanged);
        EXPECT_FALSE(Window.FTSollChanged);
        EXPECT_FALSE(Window.btnSetDateTime->isEnabled());
        EXPECT_FALSE(Window.btnSetTSoll->isEnabled());
    }
};

TEST_F(FocusTest, EditorsFollowTheHeaterAfterStartInEveryMode)
{
    ForEachMode(true, [&](const QStringList &, TFormMain &w) {
        EXPECT_EQ(QApplication::focusWidget(), &w);
        ExpectEditorsFollowTwoPolls(w);
    });
}

TEST_F(FocusTest, NoEditorTakesTheFocusWhenTheCoverGoesOrADialogCloses)
{
    ForEachMode(false, [&](const QStringList &Mode, TFormMain &w) {
        // In the extended modes the user clicks Refresh; the button then goes with its panel.
        heatersim_plug_heater(HeaterPath, L"V1.10");
        if (Mode.isEmpty())
            w.ConnectDevice();
        else
            QTest::mouseClick(w.btnRefreshUSB, Qt::LeftButton);
        ASSERT_TRUE(w.pnlNotConnected->isHidden());
        Activate(w);   // as the desktop does when the download's progress dialog goes
        EXPECT_EQ(QApplication::focusWidget(), &w);

        QDialog dialog(&w);
        dialog.show();
        Activate(dialog);
        dialog.close();
        Activate(w);
        EXPECT_EQ(QApplication::focusWidget(), &w);
        ExpectEditorsFollowTwoPolls(w);
    });
}

// A focused button that disables itself hands the focus to no editor.
TEST_F(FocusTest, SetpointButtonDisabledUnderTheFocusLeavesTheClockFollowing)
{
    ForEachMode(true, [&](const QStringList &, TFormMain &w) {
        QTest::mouseClick(w.edtTSoll, Qt::LeftButton, {}, QPoint(10, 10));
        ASSERT_TRUE(w.FTSollChanged);
        w.edtTSoll->setValue(60);
        QTest::mouseClick(w.btnSetTSoll, Qt::LeftButton);
        EXPECT_FALSE(w.btnSetTSoll->isEnabled());
        EXPECT_EQ(QApplication::focusWidget(), &w);
        ExpectEditorsFollowTwoPolls(w);
    });
}

TEST_F(FocusTest, TabReachesNothingUnderTheNotConnectedPanel)
{
    ForEachMode(false, [&](const QStringList &, TFormMain &w) {
        for (int press = 0; press < 40; ++press) {
            Type(w, press % 3 == 2 ? Qt::Key_Backtab : Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            EXPECT_TRUE(focus == &w || w.pnlNotConnected->isAncestorOf(focus))
                << "press " << press << ": " << (focus ? focus->metaObject()->className() : "none");
        }
    });
}

// The user was typing a setpoint when the heater went: the covered editor loses the focus, and
// keys change nothing under the panel.
TEST_F(FocusTest, CoveredEditorLosesTheFocusAndTakesNoKeys)
{
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = ActiveWindow({QStringLiteral("mondrel")});
    QTest::mouseClick(w->edtTSoll, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(QApplication::focusWidget(), w->edtTSoll);
    const int setpoint = w->edtTSoll->value();

    heatersim_unplug(HeaterPath);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->pnlNotConnected->isHidden(); }, 10000));
    EXPECT_FALSE(w->pnlTop->isAncestorOf(QApplication::focusWidget()));
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_7, Qt::Key_Tab, Qt::Key_Up, Qt::Key_Tab, Qt::Key_Down})
        Type(*w, key);
    EXPECT_EQ(w->edtTSoll->value(), setpoint);
}

TEST_F(FocusTest, TabStaysOnTheWindowWhileTheAboutPanelIsOpen)
{
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = ActiveWindow({QStringLiteral("quintabok")});
    w->lblAboutClick();
    for (int press = 0; press < 20; ++press) {
        Type(*w, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), w.get()) << "press " << press;
    }
    w->pnlAboutClick();
    Type(*w, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), w.get());
}
