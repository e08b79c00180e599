#include "WindowFixture.h"

#include "app/ProgressDlg.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <qcustomplot.h>

namespace {

// What every translated text of the window reads, in one list, so a switch can be compared whole.
QStringList WindowTexts(const TFormMain &w)
{
    QStringList texts;
    for (const QAbstractButton *button : std::initializer_list<const QAbstractButton *>{
             w.btnLoadMoreData, w.btnExportHistory, w.btnClearHistory, w.btnNow, w.btnToday, w.btnThisWeek,
             w.btnThisMonth, w.btnThisYear, w.btnSetDateTime, w.btnSetTSoll, w.btnSetLocalDT})
        texts << button->text();
    for (const QLabel *label : {w.Label1, w.Label2, w.Label3, w.Label4, w.lblString1, w.lblString2, w.lblString3,
                                w.lblSwitchLang, w.lblAppTitle, w.lblCopyright})
        texts << label->text();
    for (int i = 0; i < w.chartHistory->plottableCount(); ++i)
        texts << w.chartHistory->plottable(i)->name();
    texts << w.chartTitle->text() << w.imgWaterTemp->toolTip() << w.mnuUpdateFW->text() << w.windowTitle();
    return texts;
}

const QStringList EnglishTexts = {
    "Load more Data", "Export", "Clear History", "Now", "Today", "Actual week", "Actual month", "Actual year", "Set", "Set",
    "Set local", "Device:", "Date/Time:", "Nominal temperature water [°C]:", "Today:", "String 1", "String 2",
    "String 3", "de", "Helvane Software", "Copyright © 2017–2026 Helvane. All rights reserved.",
    "Energy [Wh]", "Energy [Wh]", "P1 [W]", "P2 [W]", "P3 [W]", "T water [°C]", "PWM1", "PWM2", "PWM3",
    "U1 [V]", "U2 [V]", "U3 [V]", "Historical data",
    "The boiler water temperature should be selected high to use as much solar energy as possible.\r\n"
    "However, at a water temperature above 60°C, a hot water mixer system must be used to prevent scalding.",
    "Update firmware", "Helvane Software"};

const QStringList GermanTexts = {
    "Mehr Daten laden", "Export", "Historie löschen", "Jetzt", "Heute", "Aktuelle Woche", "Aktueller Monat", "Aktuelles Jahr",
    "Setzen", "Setzen", "Lokalzeit", "Gerät:", "Datum/Zeit:", "Solltemperatur Wasser [°C]:", "Heute:",
    "Strang 1", "Strang 2", "Strang 3", "en", "Helvane Software",
    "Copyright © 2017–2026 Helvane. All rights reserved.", "Energie [Wh]", "Energie [Wh]", "P1 [W]", "P2 [W]",
    "P3 [W]", "T Wasser [°C]", "PWM1", "PWM2", "PWM3", "U1 [V]", "U2 [V]", "U3 [V]", "Historische Daten",
    "Die Boiler-Wassertemperatur sollte hoch gewählt werden um möglichst viel Sonnenenergie zu nutzen.\r\n"
    "Bei Wassertemperaturen über 60°C muss aber eine Brauchwassermischer-Anlage eingesetzt werden, um "
    "Verbrühungen vorzubeugen.",
    "Firmware aktualisieren", "Helvane Software"};

}

TEST_F(WindowTest, StartLanguageComesFromTheUserLocale)
{
    EXPECT_EQ(WindowTexts(*ShownWindow()), EnglishTexts);
    for (const char *id : {"fr", "it", "e"}) {
        LanguageId = QString::fromLatin1(id);
        EXPECT_EQ(ShownWindow()->lblSwitchLang->text(), QStringLiteral("de")) << id;
    }
    LanguageId = QStringLiteral("de");
    EXPECT_EQ(WindowTexts(*ShownWindow()), GermanTexts);
}

TEST_F(WindowTest, EverySwitchOfTheLabelTogglesEveryText)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    w->btnRefreshUSB->click();  // the label lies under the not-connected panel until then
    QTest::mouseClick(w->lblSwitchLang, Qt::LeftButton);
    EXPECT_EQ(WindowTexts(*w), GermanTexts);
    QTest::mouseClick(w->lblSwitchLang, Qt::LeftButton);
    EXPECT_EQ(WindowTexts(*w), EnglishTexts);
}

TEST_F(WindowTest, OpenProgressDialogFollowsTheLanguage)
{
    auto w = ShownWindow();
    auto dialog = w->CreateProgressDialog();
    EXPECT_EQ(dialog->btnCancel->text(), QStringLiteral("Cancel"));
    w->lblSwitchLangClick();
    EXPECT_EQ(dialog->btnCancel->text(), QStringLiteral("Abbrechen"));
    dialog.reset();
    w->lblSwitchLangClick();
    EXPECT_EQ(w->CreateProgressDialog()->btnCancel->text(), QStringLiteral("Cancel"));
}

TEST_F(WindowTest, LinkLabelsTurnBoldUnderThePointer)
{
    auto w = ShownWindow();
    for (QLabel *label : {w->lblFWVer, w->lblSwitchLang, w->lblAbout, w->Label8, w->Label9}) {
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(label, &enter);
        EXPECT_TRUE(label->font().bold());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(label, &leave);
        EXPECT_FALSE(label->font().bold());
    }
}

namespace {

void SendMouse(QWidget *Target, QEvent::Type Type, Qt::MouseButton Button)
{
    const QPointF inside(2, 2);
    QMouseEvent event(Type, inside, Target->mapToGlobal(inside), Button,
                      Type == QEvent::MouseButtonRelease ? Qt::NoButton : Button, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &event);
}

// The events of a double click as the toolkit delivers them: the second press comes as a
// double-click event.
void DoubleClick(QWidget *Target)
{
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease})
        SendMouse(Target, type, Qt::LeftButton);
}

}

TEST_F(WindowTest, LinkLabelsActOnceOnALeftClickOnly)
{
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    auto w = ShownWindow({QStringLiteral("mondrel")});
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        for (QLabel *label : {w->lblSwitchLang, w->lblAbout, w->lblFWVer})
            QTest::mouseClick(label, button);
    }
    EXPECT_EQ(w->lblSwitchLang->text(), QStringLiteral("de"));
    EXPECT_TRUE(w->pnlAbout->isHidden());
    EXPECT_FALSE(w->mnuFW->isVisible());

    DoubleClick(w->lblSwitchLang);
    EXPECT_EQ(w->lblSwitchLang->text(), QStringLiteral("en"));
    EXPECT_EQ(WindowTexts(*w), GermanTexts);

    // A press that is released elsewhere is no click.
    SendMouse(w->lblAbout, QEvent::MouseButtonPress, Qt::LeftButton);
    SendMouse(w->lblSwitchLang, QEvent::MouseButtonRelease, Qt::LeftButton);
    EXPECT_TRUE(w->pnlAbout->isHidden());
    EXPECT_EQ(w->lblSwitchLang->text(), QStringLiteral("en"));

    DoubleClick(w->lblAbout);
    EXPECT_FALSE(w->pnlAbout->isHidden());
    QTest::mouseClick(w->pnlAbout, Qt::RightButton, {}, QPoint(2, 2));
    EXPECT_FALSE(w->pnlAbout->isHidden());
    DoubleClick(w->pnlAbout);
    EXPECT_TRUE(w->pnlAbout->isHidden());
}
