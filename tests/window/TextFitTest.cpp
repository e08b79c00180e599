#include "WindowFixture.h"

#include "app/ProgressDlg.h"
#include "app/TextFit.h"
#include "status/StatusView.h"

#include <QAbstractSpinBox>
#include <QLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

#include <map>
#include <set>

namespace {

// Where a control draws its text, measured with the style the program runs with.
QRect TextRect(const QWidget *Control)
{
    if (const auto *button = qobject_cast<const QPushButton *>(Control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    const auto *label = static_cast<const QLabel *>(Control);
    return label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
}

QString Describe(const QWidget *Control)
{
    return Control->objectName().isEmpty() ? QString::fromLatin1(Control->metaObject()->className())
                                           : Control->objectName();
}

// Every text a control may show, gathered across the languages and readings.
class TTexts {
public:
    // Language keys among the designed texts never show: the language replaces them.
    void Add(QWidget *Control, const QString &Text)
    {
        if (!Text.isEmpty() && TranslateText(TLanguage::English, Text) == Text)
            FTexts[Control].insert(Text);
    }

    // The current text of every label and button of the window.
    void AddCurrent(const QWidget &Window)
    {
        for (QLabel *label : Window.findChildren<QLabel *>())
            Add(label, label->text());
        for (QPushButton *button : Window.findChildren<QPushButton *>())
            Add(button, button->text());
    }

    // "control: text (needs w x h, has w x h)" for every text that does not fit.
    QStringList Misfits(const std::function<bool(const QWidget *)> &Shown) const
    {
        QStringList misfits;
        for (const auto &[control, texts] : FTexts) {
            if (!Shown(control))
                continue;
            const QRect room = TextRect(control);
            const QFontMetrics metrics(control->font());
            for (const QString &text : texts) {
                const QSize needed(metrics.horizontalAdvance(text), metrics.height());
                if (needed.width() > room.width() || needed.height() > room.height())
                    misfits << QStringLiteral("%1: \"%2\" needs %3 x %4, has %5 x %6")
                                   .arg(Describe(control), text)
                                   .arg(needed.width())
                                   .arg(needed.height())
                                   .arg(room.width())
                                   .arg(room.height());
            }
        }
        return misfits;
    }

private:
    std::map<QWidget *, std::set<QString>> FTexts;
};

}

class TextFitTest : public WindowTest {
protected:
    // Shown in the mode: no container between the control and the window is hidden, the cover
    // panels aside, which come and go.
    static bool ShownInMode(const TFormMain &Window, const QWidget *Control)
    {
        for (const QWidget *widget = Control; widget && widget != &Window; widget = widget->parentWidget()) {
            if (widget->isHidden() && widget != Window.pnlNotConnected && widget != Window.pnlAbout)
                return false;
        }
        return true;
    }

    // The longest texts of the status: the worked reading, and the line of every state code.
    static void AddStatusTexts(TFormMain &Window, TLanguage Language, TTexts &Texts)
    {
        Window.RefreshCurrentData();
        Texts.AddCurrent(Window);
        TCurrentData reading;
        for (int code = 100; code <= 255; ++code) {
            reading.Sample.Err = code;
            Texts.Add(Window.lblError, MakeStatusView(reading, true, Language, TLocaleFormats{}).ErrorLine);
        }
    }
};

// Every visible label and button, at its designed size, holds the longest text it may show in
// either language, measured with the font the window uses.
TEST_F(TextFitTest, EveryTextFitsItsControlInEveryModeAndLanguage)
{
    heatersim_status status = ExampleStatus();
    heatersim_set_status(&status);
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    for (const QStringList &mode : Modes()) {
        SCOPED_TRACE(ModeName(mode));
        auto w = MakeWindow(mode);
        TTexts texts;
        texts.AddCurrent(*w);  // the designed texts
        Show(*w);
        const auto dialog = w->CreateProgressDialog();
        for (TLanguage language : {TLanguage::English, TLanguage::German}) {
            w->SetLanguage(language);
            w->TranslateUI();
            AddStatusTexts(*w, language, texts);
            texts.Add(dialog->Label1, w->Translate(QStringLiteral("slblTransferData")));
            texts.Add(dialog->Label1, w->Translate(QStringLiteral("slblDownloadingData")));
            texts.Add(dialog->btnCancel, dialog->btnCancel->text());
        }
        // The link labels turn bold under the pointer; the about panel lays its texts out once shown.
        for (QLabel *link : {w->lblSwitchLang, w->lblAbout, w->lblFWVer, w->Label8, w->Label9})
            w->lblSwitchLangMouseEnter(link);
        w->lblAboutClick();
        w->pnlAbout->layout()->activate();
        const QStringList misfits = texts.Misfits([&](const QWidget *Control) {
            return dialog->isAncestorOf(Control) || ShownInMode(*w, Control);
        });
        EXPECT_TRUE(misfits.isEmpty()) << misfits.join(QLatin1Char('\n')).toStdString();

        // Editors show their widest value beside their arrows.
        for (const QAbstractSpinBox *editor : w->findChildren<QAbstractSpinBox *>()) {
            if (ShownInMode(*w, editor)) {
                EXPECT_GE(editor->width(), editor->minimumSizeHint().width()) << Describe(editor).toStdString();
            }
        }
    }
}

// Where the system has no narrow face, a button sized for one shrinks its font until the text
// fits, in its designed place; a text that fits keeps its font.
TEST(ButtonTextFit, AWideFaceShrinksUntilTheTextFits)
{
    QWidget parent;
    QPushButton button(QStringLiteral("Measure"), &parent);
    const QRect designed(40, 74, 39, 22);
    button.setGeometry(designed);
    QFont wide(QStringLiteral("DejaVu Sans"));
    wide.setPixelSize(11);
    button.setFont(wide);
    ASSERT_GT(QFontMetrics(button.font()).horizontalAdvance(button.text()), ButtonTextRoom(button));
    FitButtonText(button, button.text());
    EXPECT_LE(QFontMetrics(button.font()).horizontalAdvance(button.text()), ButtonTextRoom(button));
    EXPECT_GE(button.font().pixelSize(), 7);
    EXPECT_EQ(button.geometry(), designed);

    button.setText(QStringLiteral("0"));
    const QFont fitting = button.font();
    FitButtonText(button, button.text());
    EXPECT_EQ(button.font(), fitting);
}
