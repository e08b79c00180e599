#include "WindowFixture.h"

#include <QDateEdit>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QTimeEdit>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

QColor TextColour(const QLabel *Label)
{
    return Label->palette().color(QPalette::WindowText);
}

}

class StatusDisplayTest : public WindowTest {
protected:
    std::unique_ptr<TFormMain> Connected(const QStringList &Arguments, const heatersim_status &Status)
    {
        heatersim_set_status(&Status);
        heatersim_plug_heater(HeaterPath, L"V1.10");
        return ShownWindow(Arguments);
    }

    static void Show(TFormMain &w, int Code)
    {
        heatersim_status status = ExampleStatus();
        status.state = static_cast<uint8_t>(Code);
        heatersim_set_status(&status);
        w.RefreshCurrentData();
    }
};

TEST_F(StatusDisplayTest, WorkedExampleInTheTechnicianMode)
{
    heatersim_status status = ExampleStatus();
    status.voltage[1] = 4000;
    status.current[1] = 1500;
    status.pwm[1] = 400;
    auto w = Connected({QStringLiteral("mondrel")}, status);

    EXPECT_EQ(w->lblSerNr->text(), QStringLiteral("1709- 634"));
    EXPECT_EQ(w->lblTWater->text(), QStringLiteral("45.3°C"));
    EXPECT_EQ(w->lblTWater->toolTip(), QStringLiteral("Control: 44.0°C"));
    EXPECT_EQ(w->lblTWaterControl->text(), QStringLiteral("44.0°C"));
    EXPECT_EQ(w->lblTPCB->text(), QStringLiteral("28.5°C"));
    EXPECT_EQ(w->lblEnergy->text(), QStringLiteral("12,345Wh"));
    EXPECT_EQ(w->lblP1->text(), QStringLiteral("310.0W"));
    EXPECT_EQ(w->lblU1->text(), QStringLiteral("31.00V, 10.00A, 400"));
    EXPECT_EQ(w->imgS1->toolTip(), QStringLiteral("31.00V, 10.00A"));
    EXPECT_EQ(w->prbP1->value(), 310);
    EXPECT_EQ(w->lblP2->text(), QStringLiteral("600.0W"));
    EXPECT_EQ(w->prbP2->value(), 500);  // full at its maximum
    EXPECT_EQ(w->lblP3->text(), QStringLiteral("0.0W"));
    EXPECT_EQ(w->edtDate->date(), QDate(2017, 4, 7));
    EXPECT_EQ(w->edtTime->time(), QTime(12, 0));
    EXPECT_EQ(w->edtTSoll->value(), 60);
    EXPECT_TRUE(w->lblError->text().isEmpty());
    EXPECT_TRUE(w->imgError->isHidden());
}

TEST_F(StatusDisplayTest, StatusCodesColourTheLineAndChooseTheIcon)
{
    auto w = Connected({}, ExampleStatus());
    const QImage errorIcon = QPixmap(QStringLiteral(":/images/pngError.png")).toImage();
    const QImage infoIcon = QPixmap(QStringLiteral(":/images/pngInfo.png")).toImage();

    Show(*w, 201);
    EXPECT_EQ(w->lblError->text(), QStringLiteral("Error 201: String 1 voltage too high (U1 > 50V)"));
    EXPECT_EQ(TextColour(w->lblError), QColor::fromRgba(0xFFFF4500));
    EXPECT_TRUE(w->lblError->font().bold());
    EXPECT_FALSE(w->imgError->isHidden());
    EXPECT_EQ(w->imgError->pixmap().toImage(), errorIcon);
    EXPECT_EQ(w->imgError->toolTip(), QStringLiteral("String 1 voltage too high (U1 > 50V)"));
    EXPECT_EQ(w->lblP1->text(), QStringLiteral("0W"));
    EXPECT_EQ(w->prbP1->value(), 310);

    Show(*w, 111);
    EXPECT_EQ(w->lblError->text(), QStringLiteral("Info 111: Nominal water temperature reached"));
    EXPECT_EQ(TextColour(w->lblError), QColor::fromRgba(0xFF000000));
    EXPECT_EQ(w->imgError->pixmap().toImage(), infoIcon);

    Show(*w, 50);
    EXPECT_TRUE(w->lblError->text().isEmpty());
    EXPECT_TRUE(w->imgError->isHidden());
    EXPECT_EQ(w->lblError->toolTip(), QStringLiteral("sErr50"));
    EXPECT_EQ(TextColour(w->lblError), QColor::fromRgba(0xFF000000));  // colour stays as it was
    EXPECT_EQ(w->lblP1->text(), QStringLiteral("310W"));
}

TEST_F(StatusDisplayTest, EditedClockAndSetpointAreLeftAlone)
{
    auto w = Connected({}, ExampleStatus());
    w->FDTChanged = true;
    w->FTSollChanged = true;
    w->edtDate->setDate(QDate(2020, 1, 2));
    w->edtTime->setTime(QTime(3, 4, 5));
    w->edtTSoll->setValue(70);
    heatersim_status status = ExampleStatus();
    status.energy = -2;
    heatersim_set_status(&status);
    w->RefreshCurrentData();
    EXPECT_EQ(w->lblEnergy->text(), QStringLiteral("-2Wh"));
    EXPECT_EQ(w->edtDate->date(), QDate(2020, 1, 2));
    EXPECT_EQ(w->edtTime->time(), QTime(3, 4, 5));
    EXPECT_EQ(w->edtTSoll->value(), 70);
}

TEST_F(StatusDisplayTest, ShortStatusReportIsLoggedAndTheDisplayKept)
{
    auto w = Connected({QStringLiteral("mondrel")}, ExampleStatus());
    w->memLog->clear();
    heatersim_set_status_length(20);
    heatersim_status status = ExampleStatus();
    status.energy = 1;
    heatersim_set_status(&status);
    w->RefreshCurrentData();
    EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: Status report too short: 21 bytes"), QString()}));
    EXPECT_EQ(w->lblEnergy->text(), QStringLiteral("12,345Wh"));
    EXPECT_EQ(heatersim_open_handles(), 0);
}

TEST_F(StatusDisplayTest, GermanLanguageAndLocale)
{
    LanguageId = QStringLiteral("de");
    TStartupOptions options = Options();
    options.Locale.DecimalSeparator = QLatin1Char(',');
    options.Locale.ThousandSeparator = QLatin1Char('.');
    heatersim_status status = ExampleStatus();
    status.state = 201;
    heatersim_set_status(&status);
    heatersim_plug_heater(HeaterPath, L"V1.10");
    TFormMain w(options);
    WindowTest::Show(w);
    EXPECT_EQ(w.lblError->text(), QStringLiteral("Fehler 201: Spannung Strang 1 zu hoch (U1 > 50V)"));
    EXPECT_EQ(w.lblEnergy->text(), QStringLiteral("12.345Wh"));
    EXPECT_EQ(w.lblTWater->text(), QStringLiteral("45°C"));
}
