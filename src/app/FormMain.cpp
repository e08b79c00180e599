#include "app/FormMain.h"

#include "app/ChartParts.h"
#include "app/ProgressDlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QDateEdit>
#include <QTimeEdit>
#include <QMouseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWindow>
#include <qcustomplot.h>

#include <initializer_list>
#include <utility>

namespace {

bool EnteredByUser(Qt::FocusReason Reason)
{
    return Reason == Qt::MouseFocusReason || Reason == Qt::TabFocusReason || Reason == Qt::BacktabFocusReason
        || Reason == Qt::ShortcutFocusReason;
}

bool IsMouseButtonEvent(const QEvent *Event)
{
    return Event->type() == QEvent::MouseButtonPress || Event->type() == QEvent::MouseButtonDblClick
        || Event->type() == QEvent::MouseButtonRelease;
}

constexpr int MinimumWidth = 1024;
constexpr int MinimumHeight = 600;
const QString TechnicianWord = QStringLiteral("mondrel");
const QString EngineeringWord = QStringLiteral("quintabok");

constexpr int ExtendedHeight = 768;
constexpr int ExposeWaitMs = 1000;
constexpr qsizetype MaxLogLineLength = 4096;
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
        Chart->legend->addItem(new TCheckLegendItem(Chart->legend, series));
}

}

TFormMain::TFormMain(TStartupOptions Options) : FOptions(std::move(Options))
{
    DesignWindow();
    FormCreate();
    BindHandlers();
    ParkFocus();
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
    OpenSampleArchive();
    edtYeWe->setValue(YearWeekValue(FOptions.Now().date()));
    edtDate->setDisplayFormat(FOptions.Locale.ShortDateFormat);
    ApplyMode();
    KeepLegendInSeriesOrder(chartHistory);
    FChart = std::make_unique<TChartModel>(MaxStringPower);
    pnlAbout->raise();
    pnlAbout->hide();
    pnlNotConnected->raise();
    PlaceCoverPanels();
    UpdateCoveredControls();
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
    BindExchange(timRefreshCurrentData, &QTimer::timeout, &TFormMain::timRefreshCurrentDataTimer);
    BindExchange(btnRefreshUSB, &QPushButton::clicked, &TFormMain::btnRefreshUSBClick);
    BindExchange(btnGetStatus, &QPushButton::clicked, &TFormMain::btnGetStatusClick);
    BindExchange(btnSetDateTime, &QPushButton::clicked, &TFormMain::btnSetDateTimeClick);
    BindExchange(btnSetLocalDT, &QPushButton::clicked, &TFormMain::btnSetLocalDTClick);
    BindExchange(btnSetTSoll, &QPushButton::clicked, &TFormMain::btnSetTSollClick);
    BindExchange(btnSetPWM1, &QPushButton::clicked, &TFormMain::btnSetPWM1Click);
    BindExchange(btnSetPWM2, &QPushButton::clicked, &TFormMain::btnSetPWM2Click);
    BindExchange(btnSetPWM3, &QPushButton::clicked, &TFormMain::btnSetPWM3Click);
    BindExchange(btnSetMax1, &QPushButton::clicked, &TFormMain::btnSetMax1Click);
    BindExchange(btnSetMax2, &QPushButton::clicked, &TFormMain::btnSetMax2Click);
    BindExchange(btnSetMax3, &QPushButton::clicked, &TFormMain::btnSetMax3Click);
    BindExchange(btnSetNull1, &QPushButton::clicked, &TFormMain::btnSetNull1Click);
    BindExchange(btnSetNull2, &QPushButton::clicked, &TFormMain::btnSetNull2Click);
    BindExchange(btnSetNull3, &QPushButton::clicked, &TFormMain::btnSetNull3Click);
    BindExchange(btnAutoPWM1, &QPushButton::clicked, &TFormMain::btnAutoPWM1Click);
    BindExchange(btnAutoPWM2, &QPushButton::clicked, &TFormMain::btnAutoPWM2Click);
    BindExchange(btnAutoPWM3, &QPushButton::clicked, &TFormMain::btnAutoPWM3Click);
    BindExchange(btnSetSN, &QPushButton::clicked, &TFormMain::btnSetSNClick);
    BindExchange(mnuUpdateFW, &QAction::triggered, &TFormMain::mnuUpdateFWClick);
    BindExchange(btnLoadMoreData, &QPushButton::clicked, &TFormMain::btnLoadMoreDataClick);
    BindExchange(btnGetData, &QPushButton::clicked, &TFormMain::btnGetDataClick);
    Bind(btnMeasPV1, &QPushButton::clicked, &TFormMain::btnMeasPV1Click);
    Bind(btnMeasPV2, &QPushButton::clicked, &TFormMain::btnMeasPV2Click);
    Bind(btnMeasPV3, &QPushButton::clicked, &TFormMain::btnMeasPV3Click);
    BindExchange(btnReadMem, &QPushButton::clicked, &TFormMain::btnReadMemClick);
    BindExchange(btnGetFlashTable, &QPushButton::clicked, &TFormMain::btnGetFlashTableClick);
    BindExchange(btnClearSector, &QPushButton::clicked, &TFormMain::btnClearSectorClick);
    BindExchange(btnExportHistory, &QPushButton::clicked, &TFormMain::btnExportHistoryClick);
    BindExchange(btnClearHistory, &QPushButton::clicked, &TFormMain::btnClearHistoryClick);
    Bind(btnNow, &QPushButton::clicked, &TFormMain::btnNowClick);
    Bind(btnToday, &QPushButton::clicked, &TFormMain::btnTodayClick);
    Bind(btnThisWeek, &QPushButton::clicked, &TFormMain::btnThisWeekClick);
    Bind(btnThisMonth, &QPushButton::clicked, &TFormMain::btnThisMonthClick);
    Bind(btnThisYear, &QPushButton::clicked, &TFormMain::btnThisYearClick);
    Bind(btnYields, &QPushButton::clicked, &TFormMain::btnYieldsClick);
    Bind(btnYieldsArchive, &QPushButton::clicked, &TFormMain::btnYieldsClick);
    Bind(FDeviceChangeBurst, &QTimer::timeout, &TFormMain::DeviceChangeBurstEnded);
    BindChart();
    for (QWidget *watched : std::initializer_list<QWidget *>{edtDate, edtTime, edtTSoll, pnlNotConnected})
        watched->installEventFilter(this);
}

// What waited for the heater's hold to end: device arrivals and removals first, then the boxes.
void TFormMain::RunDeferredDeviceEvents()
{
    for (const std::function<void()> &event : std::exchange(FDeferredDeviceEvents, {})) {
        if (!FClosing)
            event();
    }
    ShowWaitingBoxes();
}

void TFormMain::ShowBox(TBoxKind Kind, const QString &Text)
{
    const TBox box{Kind, Text};
    if (FClosing || FOpenBox == box || std::find(FWaitingBoxes.begin(), FWaitingBoxes.end(), box) != FWaitingBoxes.end())
        return;
    FWaitingBoxes.push_back(box);
    ShowWaitingBoxes();
}

// One box at a time, while no exchange holds the heater: a box's own message loop lets the polls
// run, and their holds ending bring the next box only after this one is answered.
void TFormMain::ShowWaitingBoxes()
{
    while (FHeld == 0 && !FClosing && !FOpenBox && !FWaitingBoxes.empty()) {
        FOpenBox = FWaitingBoxes.front();
        FWaitingBoxes.erase(FWaitingBoxes.begin());
        const auto answered = qScopeGuard([this] { FOpenBox.reset(); });
        switch (FOpenBox->Kind) {
        case TBoxKind::Information:
            FOptions.Dialogs->Information(FOpenBox->Text);
            break;
        case TBoxKind::Warning:
            FOptions.Dialogs->Warning(FOpenBox->Text);
            break;
        case TBoxKind::Error:
            FOptions.Dialogs->Error(FOpenBox->Text);
            break;
        }
    }
    if (FClosing)
        FWaitingBoxes.clear();
}

void TFormMain::ResumePolling()
{
    if (!FClosing)
        timRefreshCurrentData->start();
}

void TFormMain::BindChart()
{
    Bind(chartHistory, &QCustomPlot::afterLayout, &TFormMain::ReduceChartLines);
    connect(chartHistory, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent *Event) { Guarded([&] { chartHistoryMouseMove(Event); }); });
    connect(chartHistory, &QCustomPlot::legendClick, this,
            [this](QCPLegend *, QCPAbstractLegendItem *Item, QMouseEvent *) {
                Guarded([&] { chartHistoryLegendClick(Item); });
            });
    connect(chartHistory->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange &Range) { Guarded([&] { chartHistoryRangeChanged(Range); }); });
    chartHistory->installEventFilter(this);
}

void TFormMain::FormShow()
{
    if (!FHid)
        return;
    SetLanguage(StartLanguage(FOptions.LanguageId));
    TranslateUI();
    FHid->SetOnDeviceArrival(TFDeviceEvent(this, &TFormMain::GuardedDeviceEvent<&TFormMain::DeviceArrival>));
    FHid->SetOnDeviceRemoved(TFDeviceEvent(this, &TFormMain::GuardedDeviceEvent<&TFormMain::DeviceRemoved>));
}

// The window goes on the screen before the heater is talked to: a slow heater's first read-out,
// or a box at its end, must not keep it away. A window that is not exposed soon (started
// minimised) connects all the same.
void TFormMain::ConnectWhenExposed()
{
    FConnectPending = true;
    if (windowHandle()->isExposed())
        ConnectSoon();
    QTimer::singleShot(ExposeWaitMs, this, [this] { ConnectSoon(); });
}

// Once the exposure has been painted.
void TFormMain::ConnectSoon()
{
    if (std::exchange(FConnectPending, false) && !FClosing)
        QMetaObject::invokeMethod(this, [this] {
            Guarded([this] {
                ConnectDevice();
                ShowArchiveProblem();
            });
        }, Qt::QueuedConnection);
}

// Closing ends the program: the running exchange is cancelled, the heater is let go at once, the
// timer stays off and no box shows.
void TFormMain::FormClose()
{
    FClosing = true;
    timRefreshCurrentData->stop();
    for (QDialog *dialog : findChildren<QDialog *>()) {
        if (auto *progress = dynamic_cast<TdlgProgress *>(dialog))
            progress->btnCancelClick();
    }
    FHid->Close();
    FlushLiveSamples();
    WriteDueMeasurements();
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
    FitLogHeight();
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
    if (Event->type() == QEvent::Expose && Watched == windowHandle()) {
        if (windowHandle()->isExposed())
            ConnectSoon();
        return false;
    }
    if (Event->type() == QEvent::FocusIn) {
        if (EnteredByUser(static_cast<QFocusEvent *>(Event)->reason())) {
            if (Watched == edtDate || Watched == edtTime)
                Guarded([this] { edtDateEnter(); });
            else if (Watched == edtTSoll)
                Guarded([this] { edtTSollEnter(); });
        }
        return false;
    }
    if (Watched == chartHistory)
        return ChartMouseEvent(Event);
    if (Watched == pnlNotConnected || Watched == pnlAbout) {
        if (Event->type() == QEvent::ShowToParent || Event->type() == QEvent::HideToParent)
            UpdateCoveredControls();
    }
    if (auto *label = qobject_cast<QLabel *>(Watched))
        return LinkLabelEvent(label, Event);
    if (Watched == pnlAbout && IsMouseButtonEvent(Event)) {
        // A click on the credits box, outside its links, leaves the panel open.
        if (CompletesClick(pnlAbout, Event)) {
            QWidget *target = pnlAbout->childAt(static_cast<QMouseEvent *>(Event)->position().toPoint());
            if (target != Panel1 && !Panel1->isAncestorOf(target))
                Guarded([this] { pnlAboutClick(); });
        }
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
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        if (CompletesClick(Label, Event)) {
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
        }
        return true;
    default:
        return false;
    }
}

// A click is a left-button press and its release over the same control. The second press of a
// double click starts no click, so a double click acts once.
bool TFormMain::CompletesClick(QWidget *Control, QEvent *Event)
{
    const auto *mouse = static_cast<QMouseEvent *>(Event);
    if (Event->type() == QEvent::MouseButtonPress) {
        FPressedControl = mouse->button() == Qt::LeftButton ? Control : nullptr;
        return false;
    }
    if (Event->type() != QEvent::MouseButtonRelease || mouse->button() != Qt::LeftButton)
        return false;
    const bool click = FPressedControl == Control && Control->rect().contains(mouse->position().toPoint());
    FPressedControl = nullptr;
    return click;
}

// Controls under a cover panel are out of reach: they take neither clicks nor the keyboard focus,
// so typing cannot change values nobody sees.
void TFormMain::UpdateCoveredControls()
{
    const bool covered = !pnlNotConnected->isHidden() || !pnlAbout->isHidden();
    for (QWidget *region : {pnlTop, pnlClient, static_cast<QWidget *>(memLog)}) {
        if (covered && region->isAncestorOf(focusWidget()))
            ParkFocus();
        region->setEnabled(!covered);
    }
}

// The window itself holds the focus while the user has put it nowhere: the toolkit would
// otherwise hand it to the first control that takes it, an editor as likely as not.
void TFormMain::ParkFocus()
{
    setFocus(Qt::OtherFocusReason);
}

// Focus that leaves a control going away (hidden or disabled) stays with the window instead of
// moving on to the next control; Tab and Backtab move as usual.
bool TFormMain::focusNextPrevChild(bool Next)
{
    const QWidget *current = focusWidget();
    if (current && current != this && (!current->isVisible() || !current->isEnabled())) {
        ParkFocus();
        return true;
    }
    return QWidget::focusNextPrevChild(Next);
}

void TFormMain::showEvent(QShowEvent *Event)
{
    QWidget::showEvent(Event);
    if (FShown)
        return;
    FShown = true;
    windowHandle()->installEventFilter(this);
    Guarded([this] { FormShow(); });
    if (FHid)
        ConnectWhenExposed();
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

// The memo keeps a bounded number of lines; each line is bounded too, so that the memo's memory
// is: a HID library may return error texts of any length.
void TFormMain::LogLine(const QString &Line)
{
    const QString bounded = Line.size() <= MaxLogLineLength
        ? Line
        : Line.left(MaxLogLineLength) + QStringLiteral(" [... %1 more characters]").arg(Line.size() - MaxLogLineLength);
    if (FLogBatchDepth > 0)
        FLogBatch.append(bounded);
    else
        memLog->appendPlainText(bounded);
}

void TFormMain::BeginLogBatch()
{
    if (FLogBatchDepth++ == 0)
        memLog->setUpdatesEnabled(false);
}

// An end without a batch open does nothing: a dump may fail before it opens its batch.
void TFormMain::EndLogBatch()
{
    if (FLogBatchDepth == 0 || --FLogBatchDepth > 0)
        return;
    const QStringList lines = std::exchange(FLogBatch, QStringList());
    if (!lines.isEmpty())
        memLog->appendPlainText(lines.join(QLatin1Char('\n')));
    memLog->setUpdatesEnabled(true);
}

void TFormMain::LogError(const std::exception &Error)
{
    LogLine(QStringLiteral("Error: ") + QString::fromUtf8(Error.what()));
    LogLine(QString());
}
