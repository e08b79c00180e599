// The cost of the one-second status poll in the technician mode, with a large data log on disk.
// The chart rebuild is left out: the history is emptied between polls, so it draws one sample.

#include "app/FormMain.h"
#include "heatersim.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr qint64 DataLogBytes = 100LL * 1024 * 1024;

void FillDataLog(const QString &Path)
{
    QFile file(Path);
    if (!file.open(QIODevice::WriteOnly))
        std::abort();
    const QByteArray line(198, 'x');
    const QByteArray chunk = QByteArray(line + "\r\n").repeated(5000);
    while (file.size() < DataLogBytes)
        file.write(chunk);
}

class TSilentDialogs : public TDialogs {
public:
    bool Confirm(const QString &) override { return false; }
    void Information(const QString &) override {}
    void Warning(const QString &) override {}
    void Error(const QString &) override {}
    QString SaveFile(const QString &, const QString &, const QString &) override { return QString(); }
};

void RefreshCurrentData(benchmark::State &State)
{
    heatersim_reset();
    heatersim_plug_heater("/dev/hidraw-bench", L"V1.10");
    QTemporaryDir dataDir;
    const QString logPath = QDir(dataDir.path()).filePath(QStringLiteral("Data.log"));
    FillDataLog(logPath);

    TStartupOptions options;
    options.Arguments = {QStringLiteral("mondrel")};
    options.HidLibraryFile = QStringLiteral(HEATERSIM_FILE);
    options.DataDirectory = dataDir.path();
    options.Dialogs = std::make_shared<TSilentDialogs>();
    options.Now = [] { return QDateTime::currentDateTime(); };
    options.LanguageId = QStringLiteral("en");
    TFormMain window(options);
    window.show();

    for (auto _ : State) {
        window.RefreshCurrentData();
        State.PauseTiming();
        window.FHistoryData.Clear();
        window.memLog->clear();
        State.ResumeTiming();
    }
    State.counters["data_log_MB"] = static_cast<double>(QFile(logPath).size()) / (1024 * 1024);
}

}

BENCHMARK(RefreshCurrentData)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
