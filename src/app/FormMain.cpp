#include "app/FormMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateEdit>
#include <QTimeEdit>
#include <QMouseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <qcustomplot.h>

#include <initializer_list>
#include <utility>

namespace {

constexpr int MinimumWidth = 1024;
constexpr int MinimumHeight = 600;
const QString TechnicianWord = QStringLiteral("mondrel");
const QString EngineeringWord = QStringLiteral("quintabok");

constexpr int ExtendedHeight = 768;
constexpr float ExtendedMaxStringPower = 700;

void SetShown(std::initializer_list<QWidget *> Controls, bool Shown)
{
    for (QWidget *control : Controls)
        control->setVisible(Shown);
}

void SetActive(std::initializer_list<QCPAbstractPlottable *> Series, bool Active, bool Listed)
{
    for (QCPAbstractPlottable *series : Series) {
        series->setVisible(Active);
        if (Listed)
            series->addToLegend();
        else
            series->removeFromLegend();
    }
}

// Entries listed again go to the end of the legend; the legend lists its series in chart order.
void KeepLegendInSeriesOrder(QCustomPlot *Chart)
{
    std::vector<QCPAbstractPlottable *> listed;
    for (int i = 0; i < Chart->plottableCount(); ++i) {
        if (Chart->legend->hasItemWithPlottable(Chart->plottable(i)))
            listed.push_back(Chart->plottable(i));
    }
    Chart->legend->clearItems();
    for (QCPAbstractPlottable *series : listed)
        series->addToLegend();
}

}

TFormMain::TFormMain(TStartupOptions Options) : FOptions(std::move(Options))
{
    DesignWindow();
    FormCreate();
    BindHandlers();
    timRefreshCurrentData->start();
}

TFormMain::~TFormMain()
{
    FormDestroy();
}

void TFormMain::FormCreate()
{
    lblError->clear();
    imgError->hide();
    FHid = std::make_unique<TFHid>(FOptions.HidLibraryFile, this);
    FMyHidDev.DevicePath.clear();
    FLogFilePath = QDir(FOptions.DataDirectory).filePath(QStringLiteral("Data.log"));
    FHistoryData.Clear();
    edtYeWe->setValue(YearWeekValue(FOptions.Now().date()));
    edtDate->setDisplayFormat(FOptions.Locale.ShortDateFormat);
    ApplyMode();
    KeepLegendInSeriesOrder(chartHistory);
    pnlAbout->raise();
    pnlAbout->hide();
    pnlNotConnected->raise();
    PlaceCoverPanels();
}

// The operating mode lives on only in what is shown, which series are active, and the power
// ceiling.
void TFormMain::ApplyMode()
{
    SetShown({gbxService, gbxDev, lblTWaterControl, memLog, pnlPWM1, pnlPWM2, pnlPWM3, lblU1, lblU2, lblU3,
              btnNow, btnMeasPV1, btnMeasPV2, btnMeasPV3, btnRefreshUSB},
             false);
    SetActive({serEnergy, serPWM1, serPWM2, serPWM3}, false, false);
    resize(width(), MinimumHeight);
    SetActive({serP1, serP2, serP3, serU1, serU2, serU3}, false, true);

    if (FOptions.Arguments.isEmpty())
        return;
    const QString word = FOptions.Arguments.first();
    if (word == TechnicianWord || word == EngineeringWord) {
        SetShown({gbxService, memLog, lblTWaterControl, pnlPWM1, pnlPWM2, pnlPWM3, lblU1, lblU2, lblU3, btnNow,
                  btnRefreshUSB},
                 true);
        SetActive({serEnergy, serPWM1, serPWM2, serPWM3, serP1, serP2, serP3, serU1, serU2, serU3}, true, true);
        resize(width(), ExtendedHeight);
        MaxStringPower = ExtendedMaxStringPower;
    }
    if (word == EngineeringWord)
        SetShown({gbxDev, btnMeasPV1, btnMeasPV2, btnMeasPV3}, true);
}

void TFormMain::BindHandlers()
{
    Bind(timRefreshCurrentData, &QTimer::timeout, &TFormMain::timRefreshCurrentDataTimer);
    Bind(btnRefreshUSB, &QPushButton::clicked, &TFormMain::btnRefreshUSBClick);
    Bind(btnGetStatus, &QPushButton::clicked, &TFormMain::btnGetStatusClick);
    Bind(btnSetDateTime, &QPushButton::clicked, &TFormMain::btnSetDateTimeClick);
    Bind(btnSetLocalDT, &QPushButton::clicked, &TFormMain::btnSetLocalDTClick);
    Bind(btnSetTSoll, &QPushButton::clicked, &TFormMain::btnSetTSollClick);
    Bind(btnSetPWM1, &QPushButton::clicked, &TFormMain::btnSetPWM1Click);
    Bind(btnSetPWM2, &QPushButton::clicked, &TFormMain::btnSetPWM2Click);
    Bind(btnSetPWM3, &QPushButton::clicked, &TFormMain::btnSetPWM3Click);
    Bind(btnSetMax1, &QPushButton::clicked, &TFormMain::btnSetMax1Click);
    Bind(btnSetMax2, &QPushButton::clicked, &TFormMain::btnSetMax2Click);
    Bind(btnSetMax3, &QPushButton::clicked, &TFormMain::btnSetMax3Click);
    Bind(btnSetNull1, &QPushButton::clicked, &TFormMain::btnSetNull1Click);
    Bind(btnSetNull2, &QPushButton::clicked, &TFormMain::btnSetNull2Click);
    Bind(btnSetNull3, &QPushButton::clicked, &TFormMain::btnSetNull3Click);
    Bind(btnAutoPWM1, &QPushButton::clicked, &TFormMain::btnAutoPWM1Click);
    Bind(btnAutoPWM2, &QPushButton::clicked, &TFormMain::btnAutoPWM2Click);
    Bind(btnAutoPWM3, &QPushButton::clicked, &TFormMain::btnAutoPWM3Click);
    Bind(btnSetSN, &QPushButton::clicked, &TFormMain::btnSetSNClick);
    Bind(mnuUpdateFW, &QAction::triggered, &TFormMain::mnuUpdateFWClick);
    for (QWidget *editor : std::initializer_list<QWidget *>{edtDate, edtTime, edtTSoll})
        editor->installEventFilter(this);
}

void TFormMain::FormShow()
{
    if (!FHid)
        return;
    SetLanguage(StartLanguage(FOptions.LanguageId));
    TranslateUI();
    FHid->SetOnDeviceArrival(TFDeviceEvent(this, &TFormMain::GuardedDeviceEvent<&TFormMain::DeviceArrival>));
    FHid->SetOnDeviceRemoved(TFDeviceEvent(this, &TFormMain::GuardedDeviceEvent<&TFormMain::DeviceRemoved>));
    ConnectDevice();
}

void TFormMain::FormClose()
{
    timRefreshCurrentData->stop();
    FHid->Close();
}

void TFormMain::FormDestroy()
{
    auto hid = std::move(FHid);
    hid.reset();
    FHistoryData.Clear();
}

void TFormMain::FormResize()
{
    if (width() < MinimumWidth)
        resize(MinimumWidth, height());
    if (height() < MinimumHeight)
        resize(width(), MinimumHeight);
    PlaceCoverPanels();
}

void TFormMain::PlaceCoverPanels()
{
    pnlNotConnected->setGeometry(rect());
    pnlAbout->setGeometry(rect());
}

bool TFormMain::ExtendedMode() const
{
    return !gbxService->isHidden();
}

bool TFormMain::eventFilter(QObject *Watched, QEvent *Event)
{
    // Entering an editor counts as editing it, whether or not its value changes.
    if (Event->type() == QEvent::FocusIn) {
        if (Watched == edtDate || Watched == edtTime)
            Guarded([this] { edtDateEnter(); });
        else if (Watched == edtTSoll)
            Guarded([this] { edtTSollEnter(); });
        return false;
    }
    if (auto *label = qobject_cast<QLabel *>(Watched))
        return LinkLabelEvent(label, Event);
    if (Watched == pnlAbout && Event->type() == QEvent::MouseButtonRelease) {
        // A click on the credits box, outside its links, leaves the panel open.
        QWidget *target = pnlAbout->childAt(static_cast<QMouseEvent *>(Event)->position().toPoint());
        if (target != Panel1 && !Panel1->isAncestorOf(target))
            Guarded([this] { pnlAboutClick(); });
        return true;
    }
    return false;
}

// The link labels turn bold under the pointer and act on a click.
bool TFormMain::LinkLabelEvent(QLabel *Label, QEvent *Event)
{
    switch (Event->type()) {
    case QEvent::Enter:
        Guarded([&] { lblSwitchLangMouseEnter(Label); });
        return false;
    case QEvent::Leave:
        Guarded([&] { lblSwitchLangMouseLeave(Label); });
        return false;
    case QEvent::MouseButtonPress:
        return true;
    case QEvent::MouseButtonRelease:
        Guarded([&] {
            if (Label == lblSwitchLang)
                lblSwitchLangClick();
            else if (Label == lblAbout)
                lblAboutClick();
            else if (Label == lblFWVer)
                lblFWVerClick();
            else if (Label == Label8 || Label == Label9)
                Label8Click(Label);
        });
        return true;
    default:
        return false;
    }
}

void TFormMain::showEvent(QShowEvent *Event)
{
    QWidget::showEvent(Event);
    if (FShown)
        return;
    FShown = true;
    Guarded([this] { FormShow(); });
}

void TFormMain::closeEvent(QCloseEvent *Event)
{
    Guarded([this] { FormClose(); });
    QWidget::closeEvent(Event);
}

void TFormMain::resizeEvent(QResizeEvent *Event)
{
    QWidget::resizeEvent(Event);
    Guarded([this] { FormResize(); });
}

void TFormMain::LogLine(const QString &Line)
{
    memLog->appendPlainText(Line);
}

void TFormMain::LogError(const std::exception &Error)
{
    LogLine(QStringLiteral("Error: ") + QString::fromUtf8(Error.what()));
    LogLine(QString());
}
