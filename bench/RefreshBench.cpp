// The cost of the one-second status poll in the technician mode, with a large data log on disk.
// The chart rebuild is left out: the history is emptied between polls, so it draws one sample.

#include "BenchWindow.h"
#include "heatersim.h"

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

void RefreshCurrentData(benchmark::State &State)
{
    heatersim_reset();
    heatersim_plug_heater("/dev/hidraw-bench", L"V1.10");
    QTemporaryDir dataDir;
    const QString logPath = QDir(dataDir.path()).filePath(QStringLiteral("Data.log"));
    FillDataLog(logPath);

    const std::unique_ptr<TFormMain> window = BenchWindow(dataDir.path());

    for (auto _ : State) {
        window->RefreshCurrentData();
        State.PauseTiming();
        window->FHistoryData.Clear();
        window->memLog->clear();
        State.ResumeTiming();
    }
    State.counters["data_log_MB"] = static_cast<double>(QFile(logPath).size()) / (1024 * 1024);
}

}

BENCHMARK(RefreshCurrentData)->Unit(benchmark::kMicrosecond);
