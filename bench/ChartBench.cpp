// The history chart rebuilt after every poll, beside a plain refill of the same chart from the
// whole list; zoom frames; the peak memory with a million samples charted; the history download;
// the CSV export and the memory dump.

#include "BenchWindow.h"
#include "ProcessMemory.h"
#include "SunReadings.h"
#include "heatersim.h"
#include "protocol/Encodings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <qcustomplot.h>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

constexpr TDateTime April1 = SunReadingsStart;
constexpr int ChartWidth = 1000;
constexpr int ChartHeight = 420;

void Fill(THistoryList &History, int Count)
{
    for (int second = 0; second < Count; ++second)
        History.Add(SunReading(second));
}

// The whole list in view, and an hour beyond it for the samples still to come.
QCPRange WholeRange(int Count)
{
    return QCPRange(ChartKey(April1), ChartKey(April1 + (Count + 3600) / 86400.0));
}


// The window with its chart at 1000 x 420.
std::unique_ptr<TFormMain> ChartWindow(const QString &DataDirectory)
{
    heatersim_reset();
    auto window = BenchWindow(DataDirectory);
    window->pnlNotConnected->hide();
    window->resize(ChartWidth + 10 + 120, 289 + ChartHeight + 10 + 216);
    QApplication::processEvents();
    return window;
}

// The window with Count samples charted, the whole list in view.
std::unique_ptr<TFormMain> ChartedWindow(const QString &DataDirectory, int Count)
{
    auto window = ChartWindow(DataDirectory);
    Fill(window->FHistoryData, Count);
    window->chartHistory->xAxis->setRange(WholeRange(Count));
    window->UpdateHistoryChart();
    window->chartHistory->replot(QCustomPlot::rpImmediateRefresh);
    return window;
}

// Starts the peak over from what the process holds now, so that earlier benchmarks do not count.
void ResetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

// The history written as CSV; at a million samples also how far the process's peak memory rose
// above what it held with the list alone.
void CsvExport(benchmark::State &State)
{
    const int count = static_cast<int>(State.range(0));
    QTemporaryDir dataDir;
    heatersim_reset();
    const auto window = BenchWindow(dataDir.path());
    Fill(window->FHistoryData, count);
    const QString file = QDir(dataDir.path()).filePath(QStringLiteral("export.csv"));
    ResetPeak();
    const double before = StatusMegabytes("VmRSS:");
    for (auto _ : State)
        window->WriteHistoryCsv(file, window->FHistoryData);
    const double fileMegabytes = static_cast<double>(QFileInfo(file).size()) / (1024 * 1024);
    State.counters["file_MB"] = fileMegabytes;
    if (count == 1000000) {
        RecordFigure("CSV export peak above the list, MB", StatusMegabytes("VmHWM:") - before);
        RecordFigure("CSV file of 1,000,000 samples, MB", fileMegabytes);
    }
}

// The memory dump of 1,000 replies from the heater model answering at once, with its log lines.
void MemoryDump(benchmark::State &State)
{
    heatersim_reset();
    heatersim_plug_heater("/dev/hidraw-bench", L"V1.10");
    QTemporaryDir dataDir;
    const auto window = BenchWindow(dataDir.path());
    window->edtData->setText(QStringLiteral("1000"));
    for (auto _ : State) {
        window->btnReadMemClick();
        State.PauseTiming();
        window->memLog->clear();
        State.ResumeTiming();
    }
}

// The program's own tick: one new sample, the rebuild, one repaint.
void ChartTick(benchmark::State &State)
{
    const int count = static_cast<int>(State.range(0));
    ResetPeak();
    QTemporaryDir dataDir;
    const auto window = ChartedWindow(dataDir.path(), count);
    int second = count;
    for (auto _ : State) {
        window->FHistoryData.Add(SunReading(second++));
        window->UpdateHistoryChart();
        window->chartHistory->replot(QCustomPlot::rpImmediateRefresh);
    }
    State.counters["chart_width"] = window->chartHistory->width();
    State.counters["chart_height"] = window->chartHistory->height();
    if (count == 1000000)
        RecordFigure("peak memory, 1,000,000 samples charted, MB", StatusMegabytes("VmHWM:"));
}

// One frame of zooming: the range narrows and widens again around its centre.
void ChartZoomFrame(benchmark::State &State)
{
    QTemporaryDir dataDir;
    const auto window = ChartedWindow(dataDir.path(), static_cast<int>(State.range(0)));
    double factor = 0.85;
    for (auto _ : State) {
        window->chartHistory->xAxis->scaleRange(factor);
        window->chartHistory->replot(QCustomPlot::rpImmediateRefresh);
        factor = 1 / factor;
    }
}

// The baseline: every series of a chart like the window's cleared and refilled from the whole
// list, the day bars worked out, the value axes fitted, one repaint.
void ChartPlainRefill(benchmark::State &State)
{
    const int count = static_cast<int>(State.range(0));
    THistoryList history;
    Fill(history, count);
    QCustomPlot plot;
    plot.resize(ChartWidth, ChartHeight);
    plot.yAxis2->setVisible(true);
    plot.legend->setVisible(true);
    QVector<QCPGraph *> lines;
    for (int line = 0; line < 11; ++line)
        lines << plot.addGraph(plot.xAxis, line == 0 ? plot.yAxis2 : plot.yAxis);
    auto *bars = new QCPBars(plot.xAxis, plot.yAxis2);
    plot.show();
    QApplication::processEvents();

    for (auto _ : State) {
        QVector<double> keys;
        QVector<QVector<double>> values(11);
        QVector<double> barKeys, barValues;
        TDateTime trackedDay = 42370.0;
        int lastEnergy = 0;
        for (const THistoryData &s : history) {
            keys << ChartKey(s.DT);
            const double row[11] = {double(s.Energy), std::min(s.P1, 700.0f), std::min(s.P2, 700.0f),
                                    std::min(s.P3, 700.0f), s.TW, double(s.PWM1), double(s.PWM2),
                                    double(s.PWM3), s.U1, s.U2, s.U3};
            for (int line = 0; line < 11; ++line)
                values[line] << row[line];
            if (s.DT - trackedDay >= 1) {
                if (lastEnergy > 0) {
                    barKeys << ChartKey(trackedDay);
                    barValues << lastEnergy;
                }
                trackedDay = std::trunc(s.DT);
            }
            lastEnergy = s.Energy;
        }
        for (int line = 0; line < 11; ++line)
            lines[line]->setData(keys, values[line], true);
        bars->setData(barKeys, barValues, true);
        plot.xAxis->setRange(WholeRange(count));
        plot.yAxis->rescale();
        plot.yAxis2->rescale();
        plot.replot(QCustomPlot::rpImmediateRefresh);
    }
}

// Blocks (the second argument) from the heater, answering at once (latency 0) or each reply that
// many milliseconds after its request (the first argument), its replies to commands too.
// A stored history of one record a minute back from April 1.
void StoreMinuteHistory(int Count)
{
    std::vector<std::uint8_t> records;
    for (int i = 0; i < Count; ++i) {
        std::uint8_t record[16] = {};
        const std::uint32_t seconds = DateTimeToDeviceSeconds(April1 - i / 1440.0);
        record[0] = static_cast<std::uint8_t>(seconds >> 24);
        record[1] = static_cast<std::uint8_t>(seconds >> 16);
        record[2] = static_cast<std::uint8_t>(seconds >> 8);
        record[3] = static_cast<std::uint8_t>(seconds);
        std::uint8_t sum = 0;
        for (int b = 0; b < 15; ++b)
            sum = static_cast<std::uint8_t>(sum + record[b]);
        record[15] = static_cast<std::uint8_t>(-sum);
        records.insert(records.end(), record, record + 16);
    }
    heatersim_set_history(records.data(), Count);
}

void HistoryDownload(benchmark::State &State)
{
    heatersim_reset();
    StoreMinuteHistory(2200);
    heatersim_plug_heater("/dev/hidraw-bench", L"V1.10");
    QTemporaryDir dataDir;
    const auto window = BenchWindow(dataDir.path());
    heatersim_set_reply_latency(static_cast<int>(State.range(0)));
    for (auto _ : State) {
        window->FHistoryData.Clear();
        window->GetHistoryData(static_cast<int>(State.range(1)), true);
    }
    State.counters["samples"] = window->FHistoryData.Count();
}

// The window's connection to a heater that holds 100 blocks (fewer than the 300 asked for, so
// that the read-out ends on the heater's silence), at a latency: from its start to the polls
// running again with the first live status shown. Beside it (ByCount), the same connection with
// a read-out that ends on its count of the heater's 100 blocks, with neither empty reads nor a
// silence at its end: what a connection costs besides waiting.
void Connection(benchmark::State &State, bool ByCount)
{
    heatersim_reset();
    StoreMinuteHistory(400);
    heatersim_plug_heater("/dev/hidraw-bench", L"V1.10");
    QTemporaryDir dataDir;
    const auto window = BenchWindow(dataDir.path());
    heatersim_set_reply_latency(ByCount ? 0 : static_cast<int>(State.range(0)));
    for (auto _ : State) {
        if (!ByCount) {
            window->ConnectDevice();
            continue;
        }
        window->RefreshCurrentData();
        window->FHistoryData.Clear();
        window->GetHistoryData(100, true);
    }
    State.counters["samples"] = window->FHistoryData.Count();
}

void HeaterConnection(benchmark::State &State)
{
    Connection(State, false);
}

void ConnectionByCount(benchmark::State &State)
{
    Connection(State, true);
}

}

BENCHMARK(CsvExport)->Arg(100000)->Arg(1000000)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(MemoryDump)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ChartTick)->Arg(1000)->Arg(100000)->Arg(1000000)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ChartZoomFrame)->Arg(1000000)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ChartPlainRefill)->Arg(1000)->Arg(100000)->Arg(1000000)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HeaterConnection)->Arg(0)->Arg(20)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ConnectionByCount)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HistoryDownload)->Args({0, 500})->Args({1, 500})->Args({20, 100})->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
