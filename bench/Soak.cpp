// A long run of the technician mode against the heater model with a short poll period: the
// number of ticks from the command line (200,000 unless given). It reports what a long run must
// keep bounded and fails (exit code 1) when one of them grows: memory beyond the samples kept,
// data-log lines other than one whole line per kept reading, open files, timers.

#include "BenchWindow.h"
#include "heatersim.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QTimer>
#include <qcustomplot.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double ResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

int OpenFiles()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

// The chart's tick as the benchmark times it (one sample more, the rebuild, one repaint): the
// median of a few.
double ChartTickMs(TFormMain &Window)
{
    constexpr int Ticks = 21;
    THistoryData sample = Window.FHistoryData.Items(Window.FHistoryData.Count() - 1);
    std::vector<double> times;
    for (int i = 0; i < Ticks; ++i) {
        sample.DT += 1.0 / 86400;
        QElapsedTimer tick;
        tick.start();
        Window.FHistoryData.Add(sample);
        Window.UpdateHistoryChart();
        Window.chartHistory->replot(QCustomPlot::rpImmediateRefresh);
        times.push_back(static_cast<double>(tick.nsecsElapsed()) / 1e6);
    }
    std::ranges::nth_element(times, times.begin() + Ticks / 2);
    return times[Ticks / 2];
}

// A window that has never polled, of the same size, holding the same samples in the same view.
std::unique_ptr<TFormMain> FreshCopy(const TFormMain &Window, const QString &DataDirectory)
{
    auto fresh = BenchWindow(DataDirectory);
    fresh->timRefreshCurrentData->stop();
    fresh->resize(Window.size());
    fresh->FHistoryData.Clear();
    for (const THistoryData &sample : Window.FHistoryData)
        fresh->FHistoryData.Add(sample);
    fresh->chartHistory->xAxis->setRange(Window.chartHistory->xAxis->range());
    fresh->UpdateHistoryChart();
    fresh->chartHistory->replot(QCustomPlot::rpImmediateRefresh);
    return fresh;
}

bool Check(bool Holds, const char *What)
{
    std::printf("%-60s %s\n", What, Holds ? "holds" : "FAILED");
    return Holds;
}

}

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 200000;

    heatersim_reset();
    heatersim_plug_heater("/dev/hidraw-soak", L"V1.10");
    heatersim_set_clock_running(1);
    QTemporaryDir dataDir;
    const auto window = BenchWindow(dataDir.path(), 0);
    // A first stretch lets the toolkit open what it opens once (fonts, caches) before counting.
    QElapsedTimer warmUp;
    warmUp.start();
    while (warmUp.elapsed() < 500)
        QApplication::processEvents();
    window->memLog->clear();
    const QString logPath = QDir(dataDir.path()).filePath(QStringLiteral("Data.log"));
    const auto logLines = [&logPath] {
        QFile log(logPath);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    };
    const qsizetype startLines = logLines().count("\r\n");
    const int startSamples = window->FHistoryData.Count();
    const double startMegabytes = ResidentMegabytes();
    const int startFiles = OpenFiles();
    const auto startTimers = window->findChildren<QTimer *>().size();

    int done = 0;
    QObject::connect(window->timRefreshCurrentData, &QTimer::timeout, [&] {
        if (++done >= ticks)
            QApplication::quit();
    });
    QElapsedTimer run;
    run.start();
    QApplication::exec();
    const double seconds = run.elapsed() / 1000.0;

    QElapsedTimer tick;
    tick.start();
    window->timRefreshCurrentDataTimer();
    window->chartHistory->replot(QCustomPlot::rpImmediateRefresh);
    const double lastTickMs = tick.nsecsElapsed() / 1e6;

    const int kept = window->FHistoryData.Count() - startSamples;
    const double grown = ResidentMegabytes() - startMegabytes;
    const QByteArray bytes = logLines();
    const qsizetype lines = bytes.count("\r\n") - startLines;

    std::printf("%d ticks in %.1f s; %d readings kept; memory grew %.1f MB (%.0f bytes per reading)\n", done, seconds,
                kept, grown, kept > 0 ? grown * 1024 * 1024 / kept : 0.0);
    std::printf("last tick with %d samples: %.2f ms\n", window->FHistoryData.Count(), lastTickMs);
    bool holds = true;
    holds &= Check(lines == kept, "one data-log line per kept reading");
    holds &= Check(bytes.endsWith("\r\n") && !bytes.contains("\r\n\r\n"), "the data log holds whole lines only");
    // A reading costs its sample, its place in the chart and its memo line; the memo keeps
    // 100,000 lines, so beyond that only the first two grow.
    holds &= Check(kept > 0 && grown * 1024 * 1024 / kept < 2048, "memory grows only with the readings kept");
    std::printf("open files: %d at the start, %d at the end\n", startFiles, OpenFiles());
    holds &= Check(OpenFiles() <= startFiles, "no file handle left open");
    holds &= Check(heatersim_open_handles() == 0, "no device handle left open");
    holds &= Check(window->findChildren<QTimer *>().size() == startTimers, "no timer added");

    // Long use must not make the chart slower than it is for the same samples in a new window.
    const double soakTick = ChartTickMs(*window);
    QTemporaryDir freshDir;
    const auto fresh = FreshCopy(*window, freshDir.path());
    const double freshTick = ChartTickMs(*fresh);
    std::printf("chart tick with %d samples: %.2f ms after the run, %.2f ms in a new window\n",
                window->FHistoryData.Count(), soakTick, freshTick);
    holds &= Check(soakTick <= 1.25 * freshTick, "a tick at the end costs no more than in a new window");
    return holds ? 0 : 1;
}
