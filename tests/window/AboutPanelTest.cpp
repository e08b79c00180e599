#include "WindowFixture.h"

#include <QLabel>
#include <QTest>

TEST_F(WindowTest, AboutPanelOpensFromTheQuestionMarkAndClosesOnAClick)
{
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    auto w = ShownWindow();
    ASSERT_TRUE(w->pnlNotConnected->isHidden());
    EXPECT_EQ(w->lblVersion->text(), QStringLiteral("1.0.1.0"));
    EXPECT_EQ(w->lblAppTitle->text(), QStringLiteral("Helvane Software"));

    const auto clickAndStillShown = [&](QWidget *Target) {
        QTest::mouseClick(w->lblAbout, Qt::LeftButton);
        EXPECT_FALSE(w->pnlAbout->isHidden());
        QTest::mouseClick(Target, Qt::LeftButton, {}, QPoint(2, 2));
        return !w->pnlAbout->isHidden();
    };
    for (QWidget *closing : std::initializer_list<QWidget *>{w->pnlAbout, w->lblAppTitle, w->lblCopyright,
                                                             w->lblVersion, w->Image1})
        EXPECT_FALSE(clickAndStillShown(closing)) << closing->objectName().toStdString();
    EXPECT_TRUE(clickAndStillShown(w->Panel1));
    EXPECT_TRUE(clickAndStillShown(w->Label6));
}

// Users look for the program's files: the panel names them, and the text can be selected.
TEST_F(WindowTest, AboutPanelNamesTheDataFilesSelectably)
{
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    auto w = ShownWindow();
    const QString text = w->lblDataFiles->text();
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(w->FLogFilePath))) << text.toStdString();
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(w->MeasurementFile(1)))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Measurement3.csv")));
    EXPECT_TRUE(w->lblDataFiles->textInteractionFlags() & Qt::TextSelectableByMouse);
    w->lblAboutClick();
    QTest::mouseClick(w->lblDataFiles, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(w->pnlAbout->isHidden());
    w->lblSwitchLangClick();
    EXPECT_TRUE(w->lblDataFiles->text().startsWith(QStringLiteral("Datenprotokoll: ")));
}
