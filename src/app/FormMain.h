#pragma once

// The main window. It owns the HID component, the connected heater's record and the history
// list; each subsystem's operations and handlers live in a file of their own under window/.

#include "app/StartupOptions.h"
#include "archive/ArchiveKeeper.h"
#include "core/Bytes.h"
#include "exchange/HeaterExchange.h"
#include "history/ChartData.h"
#include "history/HistoryData.h"
#include "hid/FHid.h"
#include "i18n/Language.h"
#include "protocol/HistoryRecord.h"
#include "protocol/StatusReport.h"

#include <QPointer>
#include <QScopeGuard>
#include <QSharedPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

class QCPAbstractLegendItem;
class QCPBars;
class QCPRange;
class QCPGraph;
class QCPTextElement;
class QCustomPlot;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMouseEvent;
class QAction;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimeEdit;
class QRubberBand;
class QTimer;
class QTranslator;
class TChartTicker;
class TdlgProgress;
class TYieldsWindow;

// The program's version, "major.minor.release.build".
QString GetExeVersion();
// Hands a web address to the system to open; a failure is not reported.
void ShellOpen(const QString &Text);

class TFormMain : public QWidget {
    Q_OBJECT

public:
    // Raises EFHidError when the HID library cannot be loaded or initialised.
    explicit TFormMain(TStartupOptions Options);
    ~TFormMain() override;

    // Window state.
    std::unique_ptr<TFHid> FHid;
    TFHidDevice FMyHidDev;
    QString FLogFilePath;
    THistoryList FHistoryData;
    bool FDTChanged = false;
    bool FTSollChanged = false;
    int FMeasurePWM1 = 0;
    int FMeasurePWM2 = 0;
    int FMeasurePWM3 = 0;
    // The ceiling of a string's computed power U x I, in watts: 500, or 700 in the extended modes.
    float MaxStringPower = 500;
    TLanguage FLanguage = TLanguage::English;

    // Regions.
    QWidget *pnlTop = nullptr;
    QWidget *pnlClient = nullptr;
    QWidget *pnlHistory = nullptr;
    QWidget *pnlChart = nullptr;
    QCustomPlot *chartHistory = nullptr;
    QPlainTextEdit *memLog = nullptr;
    QWidget *pnlNotConnected = nullptr;
    QLabel *Image5 = nullptr;
    QLabel *lblNotConnected = nullptr;   // why no heater is in use
    QPushButton *btnRefreshUSB = nullptr;
    QPushButton *btnYieldsArchive = nullptr;   // the yields while no heater is in use
    QWidget *pnlAbout = nullptr;
    QTimer *timRefreshCurrentData = nullptr;
    QMenu *mnuFW = nullptr;
    QAction *mnuUpdateFW = nullptr;

    // String columns.
    QLabel *lblString1 = nullptr, *lblString2 = nullptr, *lblString3 = nullptr;
    QLabel *imgS1 = nullptr, *imgS2 = nullptr, *imgS3 = nullptr;
    QProgressBar *prbP1 = nullptr, *prbP2 = nullptr, *prbP3 = nullptr;
    QWidget *pnlPWM1 = nullptr, *pnlPWM2 = nullptr, *pnlPWM3 = nullptr;
    QLabel *lblP1 = nullptr, *lblP2 = nullptr, *lblP3 = nullptr;
    QLabel *lblU1 = nullptr, *lblU2 = nullptr, *lblU3 = nullptr;
    QSpinBox *edtPWM1 = nullptr, *edtPWM2 = nullptr, *edtPWM3 = nullptr;
    QPushButton *btnSetPWM1 = nullptr, *btnSetPWM2 = nullptr, *btnSetPWM3 = nullptr;
    QPushButton *btnSetMax1 = nullptr, *btnSetMax2 = nullptr, *btnSetMax3 = nullptr;
    QPushButton *btnAutoPWM1 = nullptr, *btnAutoPWM2 = nullptr, *btnAutoPWM3 = nullptr;
    QPushButton *btnSetNull1 = nullptr, *btnSetNull2 = nullptr, *btnSetNull3 = nullptr;
    QPushButton *btnMeasPV1 = nullptr, *btnMeasPV2 = nullptr, *btnMeasPV3 = nullptr;

    // Water column and device area.
    QLabel *Image4 = nullptr;
    QLabel *lblTWater = nullptr;
    QLabel *lblTWaterControl = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *lblEnergy = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblSerNr = nullptr;
    QLabel *lblFWVer = nullptr;
    QLabel *lblTPCB = nullptr;
    QLabel *Label2 = nullptr;
    QDateEdit *edtDate = nullptr;
    QTimeEdit *edtTime = nullptr;
    QPushButton *btnSetDateTime = nullptr;
    QPushButton *btnSetLocalDT = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *imgWaterTemp = nullptr;
    QSpinBox *edtTSoll = nullptr;
    QPushButton *btnSetTSoll = nullptr;
    QLabel *imgError = nullptr;
    QLabel *lblError = nullptr;
    QLabel *lblSwitchLang = nullptr;
    QLabel *lblAbout = nullptr;

    // Development group.
    QGroupBox *gbxDev = nullptr;
    QLineEdit *edtAddr = nullptr;
    QLineEdit *edtData = nullptr;
    QPushButton *btnGetData = nullptr;
    QPushButton *btnReadMem = nullptr;
    QPushButton *btnGetFlashTable = nullptr;
    QPushButton *btnClearSector = nullptr;
    QPushButton *btnGetStatus = nullptr;

    // Serial-number group.
    QGroupBox *gbxService = nullptr;
    QSpinBox *edtYeWe = nullptr;
    QSpinBox *edtSerNr = nullptr;
    QPushButton *btnSetSN = nullptr;

    // History side panel.
    QPushButton *btnLoadMoreData = nullptr;
    QPushButton *btnYields = nullptr;
    QPushButton *btnNow = nullptr;
    QPushButton *btnToday = nullptr;
    QPushButton *btnThisWeek = nullptr;
    QPushButton *btnThisMonth = nullptr;
    QPushButton *btnThisYear = nullptr;
    QPushButton *btnExportHistory = nullptr;
    QPushButton *btnClearHistory = nullptr;

    // About panel.
    QLabel *lblAppTitle = nullptr;
    QLabel *lblCopyright = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDataFiles = nullptr;
    QLabel *lblArchive = nullptr;   // where the archive is, or that none is in use
    QLabel *Image1 = nullptr;
    QWidget *Panel1 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;

    // Chart series, in the chart's order.
    QCPGraph *serEnergy = nullptr;
    QCPBars *serEnergyBar = nullptr;
    QCPGraph *serP1 = nullptr, *serP2 = nullptr, *serP3 = nullptr;
    QCPGraph *serTW = nullptr;
    QCPGraph *serPWM1 = nullptr, *serPWM2 = nullptr, *serPWM3 = nullptr;
    QCPGraph *serU1 = nullptr, *serU2 = nullptr, *serU3 = nullptr;
    QCPTextElement *chartTitle = nullptr;
    // What the chart draws of the history list.
    std::unique_ptr<TChartModel> FChart;

    // Connection.
    void ConnectDevice();
    void DeviceArrival(TFHid *Sender, const QString &DeviceName);
    void DeviceRemoved(TFHid *Sender, const QString &DeviceName);
    void DeviceChangeBurstEnded();
    void btnRefreshUSBClick();

    // Commands: writes the command report, gives the heater 2 ms to answer and returns what it
    // answered (nothing that arrives later). Errors are logged; the refresh timer ends enabled.
    TBytes SetRequest(std::uint8_t Command, std::int32_t Value);

    // Status refresh, data log and history.
    void RefreshCurrentData();
    void timRefreshCurrentDataTimer();
    void btnGetStatusClick();
    void AppendLogLine(const QString &Line);
    void GetHistoryData(int RequestCount, bool Restart);
    void btnLoadMoreDataClick();
    void btnGetDataClick();

    // Measurement sweep.
    void btnMeasPV1Click();
    void btnMeasPV2Click();
    void btnMeasPV3Click();
    void MeasureStep(int n);
    QString MeasurementFile(int n) const;
    // The readings kept while a string's sweep runs, and the one after its last step.
    const THistoryList &MeasuredSamples(int n) const { return FMeasSamples.at(static_cast<std::size_t>(n - 1)); }

    // Development tools.
    void btnReadMemClick();
    void btnGetFlashTableClick();
    void btnClearSectorClick();

    // History export and clearing.
    void WriteHistoryCsv(const QString &FileName, const THistoryList &Samples);
    void btnExportHistoryClick();
    void btnClearHistoryClick();

    // History chart.
    void UpdateHistoryChart();
    void chartHistoryZoom();
    void btnNowClick();
    void btnTodayClick();
    void btnThisWeekClick();
    void btnThisMonthClick();
    void btnThisYearClick();
    void chartHistoryMouseMove(QMouseEvent *Event);
    void chartHistoryLegendClick(QCPAbstractLegendItem *Item);

    // Yields: what the sun gave per day, month and year, from the archive, in a window of its own.
    void btnYieldsClick();
    QPointer<TYieldsWindow> FYields;

    // Clock and setpoint.
    void edtDateEnter();
    void edtTSollEnter();
    void btnSetDateTimeClick();
    void btnSetLocalDTClick();
    void btnSetTSollClick();

    // PWM and serial number.
    void btnSetPWM1Click();
    void btnSetPWM2Click();
    void btnSetPWM3Click();
    void btnSetMax1Click();
    void btnSetMax2Click();
    void btnSetMax3Click();
    void btnSetNull1Click();
    void btnSetNull2Click();
    void btnSetNull3Click();
    void btnAutoPWM1Click();
    void btnAutoPWM2Click();
    void btnAutoPWM3Click();
    void btnSetSNClick();

    // Firmware update hand-off.
    void lblFWVerClick();
    void mnuUpdateFWClick();
    void StartFirmwareUpdate();

    // Languages.
    QString Translate(const QString &Text) const;
    void SetLanguage(TLanguage Language);
    void TranslateToolkit();
    void TranslateUI();
    void lblSwitchLangClick();
    void lblSwitchLangMouseEnter(QLabel *Sender);
    void lblSwitchLangMouseLeave(QLabel *Sender);
    // A progress dialog owned by the window, its Cancel button following the language.
    std::unique_ptr<TdlgProgress> CreateProgressDialog();
    void ShowTransferProgress(TdlgProgress &Dialog);

    // Status display.
    void ShowCurrentData(const TCurrentData &S);

    // About panel.
    void lblAboutClick();
    void pnlAboutClick();
    void Label8Click(QLabel *Sender);

    // Window events.
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    void FormResize();

protected:
    bool eventFilter(QObject *Watched, QEvent *Event) override;
    bool focusNextPrevChild(bool Next) override;
    void showEvent(QShowEvent *Event) override;
    void closeEvent(QCloseEvent *Event) override;
    void resizeEvent(QResizeEvent *Event) override;

private:
    void DesignWindow();
    void DesignTop();
    void DesignStringColumn(int n, QLabel *&lblString, QLabel *&imgS, QProgressBar *&prbP, QWidget *&pnlPWM,
                            QLabel *&lblP, QLabel *&lblU, QSpinBox *&edtPWM, QPushButton *&btnSetPWM,
                            QPushButton *&btnSetMax, QPushButton *&btnAutoPWM, QPushButton *&btnSetNull,
                            QPushButton *&btnMeasPV);
    void DesignGroups();
    void DesignHistoryPanel();
    void DesignChart();
    void DesignCoverPanels();
    void DesignAboutPanel();
    void RegisterKeyTexts(std::initializer_list<QWidget *> Controls);
    void ApplyKeyText(QWidget *Control, const QString &Key) const;
    // Shows the key's text now and after every change of the language.
    void SetKeyText(QWidget *Control, const QString &Key);
    void ShowNotConnected(bool HeaterRefused);
    bool LinkLabelEvent(QLabel *Label, QEvent *Event);
    bool CompletesClick(QWidget *Control, QEvent *Event);
    void UpdateCoveredControls();
    void ParkFocus();
    bool ExtendedMode() const;
    QSpinBox *PwmEdit(int n) const;
    void SendPwm(int n);
    void ForcePwm(int n, int Value);
    void BindHandlers();
    void ApplyMode();
    void BindChart();
    void ReduceChartLines();
    void SetBottomRange(TKeyRange Range);
    bool ChartMouseEvent(QEvent *Event);
    void ZoomToDrag(QPoint From, QPoint To);
    void chartHistoryRangeChanged(const QCPRange &NewRange);
    void PlaceCoverPanels();
    void FitLogHeight();

    // Appends lines to the log memo; between the two calls below they are collected and the
    // memo takes them in one piece, painting once. Batches nest: the outermost end shows them all.
    void LogLine(const QString &Line);
    void LogError(const std::exception &Error);
    void BeginLogBatch();
    void EndLogBatch();

    // The heater is held by one exchange at a time. An exchange holds it from start to end
    // (exchanges it runs itself nest in its hold); what the window's events would start
    // meanwhile, from the message processing inside the exchange, is not started: clicks, keys
    // and poll ticks are dropped, device arrival and removal are handled once the hold ends.
    [[nodiscard]] auto HoldHeater()
    {
        ++FHeld;
        return qScopeGuard([this] {
            if (--FHeld == 0 && (!FDeferredDeviceEvents.empty() || !FWaitingBoxes.empty()))
                QMetaObject::invokeMethod(this, [this] { RunDeferredDeviceEvents(); }, Qt::QueuedConnection);
        });
    }
    void RunDeferredDeviceEvents();

    void DownloadHistory(TdlgProgress &Dialog, int RequestCount, bool Restart);
    void RunDump(const std::function<void(TdlgProgress &)> &Dump);
    int &MeasurePWM(int n);
    void ToggleMeasure(int n, QPushButton *Button);
    void KeepMeasuredSample(const THistoryData &Sample);
    void WriteDueMeasurement(int n);
    void WriteDueMeasurements();
    void KeepHistoryBlock(const THistoryBlock &Block);
    void EmptyHistoryList();

    // The archive.
    void OpenSampleArchive();
    void ArchiveSamples(const std::vector<THistoryData> &Samples);
    void ArchiveLiveSample(const THistoryData &Sample);
    void FlushLiveSamples();
    void LoadArchivedSamples();
    void UpdateArchiveKey(std::int32_t SerialNumber);
    void ShowArchivePlace();
    void ShowArchiveProblem();
    void EraseArchivedSamples();

    // The boxes the window shows on its own: a box an exchange wants waits until the heater is
    // no longer held, so that polls and the data log go on while it is open; a box with the
    // same text as one open or waiting is not shown again; none once the window closes.
    enum class TBoxKind { Information, Warning, Error };
    struct TBox {
        TBoxKind Kind;
        QString Text;
        bool operator==(const TBox &) const = default;
    };
    void ShowBox(TBoxKind Kind, const QString &Text);
    void ShowWaitingBoxes();
    // The refresh timer runs again after an exchange, unless the window is closing.
    void ResumePolling();
    // The first connection is made once the window is on the screen.
    void ConnectWhenExposed();
    void ConnectSoon();
    TBlockEvents DialogEvents(TdlgProgress &Dialog);
    void ReadDumpReplies(TdlgProgress &Dialog, int Count, const std::function<void(const TBytes &, int)> &Take);

    // Runs a handler so that no exception reaches the event loop: what it does not catch
    // itself is shown in an error box.
    template <class F>
    void Guarded(F &&Handler);
    template <void (TFormMain::*Method)(TFHid *, const QString &)>
    void GuardedDeviceEvent(TFHid *Sender, const QString &DeviceName);
    template <class Sender, class Signal>
    void Bind(Sender *Control, Signal Event, void (TFormMain::*Method)());
    // Binds a handler that talks to the heater: it does nothing while an exchange holds the heater.
    template <class Sender, class Signal>
    void BindExchange(Sender *Control, Signal Event, void (TFormMain::*Method)());

    struct TKeyText {
        QPointer<QWidget> Control;
        QString Key;
    };

    TStartupOptions FOptions;
    bool FShown = false;
    int FLogBatchDepth = 0;
    QStringList FLogBatch;
    QTimer *FDeviceChangeBurst = nullptr;
    bool FArrivalInBurst = false;
    int FHeld = 0;   // exchanges in progress, each inside the one before
    bool FClosing = false;   // the window was closed: nothing more starts, no box shows
    bool FConnectPending = false;   // the first connection waits for the window's exposure
    std::vector<std::function<void()>> FDeferredDeviceEvents;
    std::vector<TBox> FWaitingBoxes;
    std::optional<TBox> FOpenBox;
    // The connected heater's pace, learnt by its read-outs and dumps.
    THeaterPace FPace;
    // Per string: a sweep ended and its measurement file is still to be written.
    std::array<bool, 3> FMeasureFileDue{};
    std::array<THistoryList, 3> FMeasSamples;
    // The oldest sample the heater delivered since the list was last emptied.
    std::optional<TDateTime> FOldestDelivered;
    // Every sample seen, kept per heater, and kept back while the archive fails; none without a place.
    std::unique_ptr<TArchiveKeeper> FArchive;
    QString FArchiveKey;                          // the connected heater's key in it
    QString FArchiveProblem;                      // why it could not be opened at start
    std::vector<THistoryData> FArchivePending;    // live readings not yet archived
    // The control that took the last left-button press, until its release.
    QPointer<QWidget> FPressedControl;

    // The chart's state beyond its series: what the lines were last reduced for, the zoom.
    struct TReducedFor {
        double Lower = 0, Upper = 0;
        int Width = -1;
        int Revision = -1;
        bool operator==(const TReducedFor &) const = default;
    };
    QSharedPointer<TChartTicker> FChartTicker;
    QRubberBand *FZoomBand = nullptr;
    int FChartRevision = 0;
    TReducedFor FReducedFor;
    bool FValuesZoomed = false;   // the value axes hold a zoom instead of following the data
    TKeyRange FBeforeZoom;        // the time axis before the first zoom, for undoing it
    QPoint FZoomStart;
    bool FPanning = false;
    TKeyRange FPanStart;
    std::unique_ptr<QTranslator> FToolkitTexts;
    // Controls whose text is a language key, with the key they show the text of.
    std::vector<TKeyText> FKeyTexts;
};

template <class F>
void TFormMain::Guarded(F &&Handler)
{
    try {
        Handler();
    } catch (const std::exception &Error) {
        ShowBox(TBoxKind::Error, QString::fromUtf8(Error.what()));
    }
}

template <void (TFormMain::*Method)(TFHid *, const QString &)>
void TFormMain::GuardedDeviceEvent(TFHid *Sender, const QString &DeviceName)
{
    if (FHeld > 0) {
        FDeferredDeviceEvents.push_back([this, Sender, DeviceName] { GuardedDeviceEvent<Method>(Sender, DeviceName); });
        return;
    }
    Guarded([&] { (this->*Method)(Sender, DeviceName); });
}

template <class Sender, class Signal>
void TFormMain::Bind(Sender *Control, Signal Event, void (TFormMain::*Method)())
{
    connect(Control, Event, this, [this, Method] { Guarded([&] { (this->*Method)(); }); });
}

template <class Sender, class Signal>
void TFormMain::BindExchange(Sender *Control, Signal Event, void (TFormMain::*Method)())
{
    connect(Control, Event, this, [this, Method] {
        if (FHeld == 0)
            Guarded([&] { (this->*Method)(); });
    });
}
