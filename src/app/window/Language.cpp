// The window's texts in the current language.

#include "app/FormMain.h"
#include "app/ProgressDlg.h"
#include "app/YieldsWindow.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <qcustomplot.h>

QString TFormMain::Translate(const QString &Text) const
{
    return TranslateText(FLanguage, Text);
}

// Controls that show a key's text follow every change of the language at once.
void TFormMain::SetLanguage(TLanguage Language)
{
    FLanguage = Language;
    TranslateToolkit();
    lblSwitchLang->setText(SwitchLabelText(Language));
    std::erase_if(FKeyTexts, [](const TKeyText &Item) { return Item.Control.isNull(); });
    for (const TKeyText &item : FKeyTexts)
        ApplyKeyText(item.Control, item.Key);
    if (FYields)
        FYields->SetLanguage(Language);
}

// The toolkit's own texts, such as the buttons of message boxes, follow the language: German from
// the toolkit's translations where they are installed, else its English.
void TFormMain::TranslateToolkit()
{
    if (!FToolkitTexts)
        FToolkitTexts = std::make_unique<QTranslator>();
    QCoreApplication::removeTranslator(FToolkitTexts.get());
    if (FLanguage == TLanguage::German
        && FToolkitTexts->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(FToolkitTexts.get());
}

void TFormMain::ApplyKeyText(QWidget *Control, const QString &Key) const
{
    Control->setProperty("text", Translate(Key));
}

void TFormMain::TranslateUI()
{
    const QString title = Translate(QStringLiteral("sTitle"));
    setWindowTitle(title);
    lblAppTitle->setText(title);
    lblCopyright->setText(Translate(QStringLiteral("sCopyright")));
    lblVersion->setText(GetExeVersion());
    lblDataFiles->setText(Translate(QStringLiteral("slblDataFiles"))
                              .arg(QDir::toNativeSeparators(FLogFilePath),
                                   QDir::toNativeSeparators(MeasurementFile(1)) + QStringLiteral(", ")
                                       + QFileInfo(MeasurementFile(2)).fileName() + QStringLiteral(", ")
                                       + QFileInfo(MeasurementFile(3)).fileName()));
    ShowArchivePlace();
    imgWaterTemp->setToolTip(Translate(QStringLiteral("sInfoWaterTemp1")) + QStringLiteral("\r\n")
                             + Translate(QStringLiteral("sInfoWaterTemp2")));
    mnuUpdateFW->setText(Translate(QStringLiteral("smnuFlashFW")));
    const std::pair<QCPAbstractPlottable *, const char *> titles[] = {
        {serP1, "sserP1"}, {serP2, "sserP2"}, {serP3, "sserP3"}, {serU1, "sserU1"}, {serU2, "sserU2"},
        {serU3, "sserU3"}, {serEnergy, "sserEnergy"}, {serEnergyBar, "sserEnergyBar"}, {serTW, "sserTW"}};
    for (const auto &[series, key] : titles)
        series->setName(Translate(QString::fromLatin1(key)));
    chartTitle->setText(Translate(QStringLiteral("schartTitle")));
    chartHistory->replot(QCustomPlot::rpQueuedReplot);
}

void TFormMain::lblSwitchLangClick()
{
    SetLanguage(LanguageOfSwitchLabel(lblSwitchLang->text()));
    TranslateUI();
}

void TFormMain::lblSwitchLangMouseEnter(QLabel *Sender)
{
    QFont font = Sender->font();
    font.setBold(true);
    Sender->setFont(font);
}

void TFormMain::lblSwitchLangMouseLeave(QLabel *Sender)
{
    QFont font = Sender->font();
    font.setBold(false);
    Sender->setFont(font);
}

std::unique_ptr<TdlgProgress> TFormMain::CreateProgressDialog()
{
    auto dialog = std::make_unique<TdlgProgress>(this);
    const QString key = QStringLiteral("sbtnCancel");
    ApplyKeyText(dialog->btnCancel, key);
    FKeyTexts.push_back({dialog->btnCancel, key});
    return dialog;
}

// The caption and label of a transfer, the bar at 0, shown over the window it holds.
void TFormMain::ShowTransferProgress(TdlgProgress &Dialog)
{
    Dialog.setWindowTitle(Translate(QStringLiteral("sCapProgress")));
    Dialog.Label1->setText(Translate(QStringLiteral("slblTransferData")));
    Dialog.ProgressBar1->setValue(0);
    Dialog.show();
}
