// A whole exchange with a heater that answers every read and status request with the fuzzer's
// bytes: the engineering window connects, polls, downloads and exports the history, dumps memory
// and the flash table, sweeps and sends commands. Afterwards it must be as usable as before: the
// device closed, the poll timer running, no progress dialog left.

#include "app/FormMain.h"
#include "app/ProgressDlg.h"
#include "heatersim.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <cstdlib>

namespace {

const char *const HeaterPath = "/dev/hidraw-fuzz";
// Loop turns a progress dialog stays open before the fuzzing user presses Cancel: the dumps
// end only so once the heater has nothing more to say.
constexpr int TurnsBeforeCancel = 10;

class TScriptedDialogs : public TDialogs {
public:
    explicit TScriptedDialogs(QString SavePath) : FSavePath(std::move(SavePath)) {}
    bool Confirm(const QString &) override { return true; }
    int Choose(const QString &, const QStringList &) override { return 0; }
    void Information(const QString &) override {}
    void Warning(const QString &) override {}
    void Error(const QString &) override {}
    QString SaveFile(const QString &, const QString &, const QString &) override { return FSavePath; }

private:
    QString FSavePath;
};

// Presses Cancel on a progress dialog that has been open for a while.
class TCanceller : public QObject {
public:
    TCanceller()
    {
        FTimer.setInterval(0);
        connect(&FTimer, &QTimer::timeout, this, [this] {
            TdlgProgress *dialog = OpenProgressDialog();
            if (dialog == nullptr) {
                FTurns = 0;
            } else if (++FTurns > TurnsBeforeCancel) {
                dialog->Cancelled = true;
            }
        });
        FTimer.start();
    }

private:
    static TdlgProgress *OpenProgressDialog()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *dialog = dynamic_cast<TdlgProgress *>(widget); dialog && dialog->isVisible())
                return dialog;
        }
        return nullptr;
    }

    QTimer FTimer;
    int FTurns = 0;
};

TStartupOptions Options(const QTemporaryDir &DataDir)
{
    TStartupOptions options;
    options.Arguments = {QStringLiteral("quintabok")};
    options.HidLibraryFile = QStringLiteral(HEATERSIM_FILE);
    options.DataDirectory = DataDir.path();
    options.Dialogs = std::make_shared<TScriptedDialogs>(QDir(DataDir.path()).filePath(QStringLiteral("history.csv")));
    options.Now = [] { return QDateTime(QDate(2017, 3, 30), QTime(10, 0)); };
    options.Locale = TLocaleFormats{};
    options.LanguageId = QStringLiteral("en");
    return options;
}

void Exchange(TFormMain &Window)
{
    Window.FormShow();   // prepares and connects as showing does, without painting
    Window.ConnectDevice();
    Window.timRefreshCurrentDataTimer();
    Window.btnGetStatusClick();
    Window.edtData->setText(QStringLiteral("20"));
    Window.btnGetDataClick();
    Window.btnExportHistoryClick();
    Window.edtAddr->setText(QStringLiteral("0x100"));
    Window.edtData->setText(QStringLiteral("8"));
    Window.btnReadMemClick();
    Window.btnGetFlashTableClick();
    Window.btnMeasPV2Click();
    for (int tick = 0; tick < 3; ++tick)
        Window.timRefreshCurrentDataTimer();
    Window.btnMeasPV2Click();
    Window.btnSetMax1Click();
    Window.btnSetTSollClick();
    Window.btnSetLocalDTClick();
    Window.timRefreshCurrentDataTimer();
}

}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "fuzz_exchange";
    static char *argv[] = {name, nullptr};
    // Never destroyed: at exit the toolkit's own statics may already be gone.
    static const auto *const application = new QApplication(argc, argv);
    Q_UNUSED(application);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    // One window serves every input, as one window serves a heater plugged in again and again;
    // the model and the files start afresh each time. Never destroyed, as the application.
    static const QTemporaryDir dataDir;
    static TFormMain *const window = new TFormMain(Options(dataDir));
    QDir(dataDir.path()).removeRecursively();
    QDir().mkpath(dataDir.path());
    window->FHistoryData.Clear();
    window->memLog->clear();

    heatersim_reset();
    heatersim_plug_heater(HeaterPath, L"V1.10");
    heatersim_set_reply_script(Data, static_cast<int>(Size));
    TCanceller canceller;
    Exchange(*window);
    if (heatersim_open_handles() != 0 || !window->timRefreshCurrentData->isActive())
        __builtin_trap();
    return 0;
}
