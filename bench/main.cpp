// The benchmark program. After Google Benchmark's own table it prints the figures that the
// targets are stated in: ratios against a plain baseline measured in the same run, since the
// machines are noisy, and the absolute figures beside their limits.

#include "BenchWindow.h"
#include "heatersim.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

std::map<std::string, double> &Figures()
{
    static std::map<std::string, double> figures;
    return figures;
}

// Real time per iteration in milliseconds of every benchmark run, by name.
class TFigureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &Runs) override
    {
        for (const Run &run : Runs) {
            if (run.run_type == Run::RT_Iteration)
                RecordFigure(run.run_name.function_name + "/" + run.run_name.args,
                             run.GetAdjustedRealTime() * Milliseconds(run.time_unit));
        }
        ConsoleReporter::ReportRuns(Runs);
    }

private:
    static double Milliseconds(benchmark::TimeUnit Unit)
    {
        switch (Unit) {
        case benchmark::kNanosecond: return 1e-6;
        case benchmark::kMicrosecond: return 1e-3;
        case benchmark::kMillisecond: return 1;
        default: return 1e3;
        }
    }
};

// A figure that was not measured in this run (a filter left it out) is said so.
void PrintLine(const std::string &Figure, double Value, const char *Target, bool Holds)
{
    if (Value < 0)
        std::printf("%-58s %10s   %-26s\n", Figure.c_str(), "-", "not measured in this run");
    else
        std::printf("%-58s %10.3f   %-26s %s\n", Figure.c_str(), Value, Target, Holds ? "holds" : "MISSED");
}

void PrintSummary()
{
    const auto figure = [](const std::string &Name) {
        const auto found = Figures().find(Name);
        return found != Figures().end() ? found->second : -1.0;
    };
    std::printf("\n%-58s %10s   %-26s\n", "figure", "value", "target");
    const double poll = figure("RefreshCurrentData/");
    PrintLine("status poll with a 100 MB data log, ms", poll, "< 1", poll < 1);
    const struct {
        const char *Count;
        const char *Target;
        double Limit;
    } ticks[] = {{"1000", "(no target)", 1e9}, {"100000", "<= 0.5 (aim 0.33)", 0.5}, {"1000000", "<= 0.25 (aim 0.1)", 0.25}};
    for (const auto &t : ticks) {
        const double tick = figure(std::string("ChartTick/") + t.Count);
        const double plain = figure(std::string("ChartPlainRefill/") + t.Count);
        const double ratio = tick < 0 || plain <= 0 ? -1 : tick / plain;
        PrintLine(std::string("chart tick / plain refill, ") + t.Count + " samples", ratio, t.Target, ratio <= t.Limit);
    }
    const double zoom = figure("ChartZoomFrame/1000000");
    PrintLine("zoom frame at 1,000,000 samples, ms", zoom, "<= 30", zoom <= 30);
    const double peak = figure("peak memory, 1,000,000 samples charted, MB");
    PrintLine("peak memory with 1,000,000 samples charted, MB", peak, "<= 300 (aim 200)", peak <= 300);
    const double instant = figure("HistoryDownload/0/500");
    PrintLine("download of 500 blocks, heater answering at once, ms", instant, "<= 100", instant <= 100);
    const double late = figure("HistoryDownload/1/500");
    PrintLine("download of 500 blocks, replies 1 ms late, ms", late, "<= 575 (1.15 x 500)", late <= 575);
    // A heater answering one request after the other cannot deliver faster than its latency times
    // the blocks: the figure is the time above that.
    const double slow = figure("HistoryDownload/20/100");
    const double slowRatio = slow < 0 ? -1 : slow / (20.0 * 100);
    PrintLine("download of 100 blocks 20 ms late / (20 ms x 100)", slowRatio, "<= 1.15", slowRatio <= 1.15);
    // A heater that answers at once ends its read-out after the empty reads, not after a second.
    const double connection = figure("HeaterConnection/0");
    const double byCount = figure("ConnectionByCount/");
    PrintLine("connection, heater answering at once / read-out ended by count", connection < 0 || byCount <= 0 ? -1 : connection / byCount,
              "<= 1.2", connection <= 1.2 * byCount);
    PrintLine("  connection, heater answering at once, ms", connection, "(no target)", true);
    PrintLine("  the same, read-out ended by its count, ms", byCount, "(no target)", true);
    PrintLine("connection, replies 20 ms late, ms", figure("HeaterConnection/20"), "(no target)", true);
    const double csv100k = figure("CsvExport/100000");
    PrintLine("CSV export of 100,000 samples, ms", csv100k, "<= 150", csv100k <= 150);
    const double csv1m = figure("CsvExport/1000000");
    PrintLine("CSV export of 1,000,000 samples, ms", csv1m, "<= 1500", csv1m <= 1500);
    const double csvPeak = figure("CSV export peak above the list, MB");
    const double csvFile = figure("CSV file of 1,000,000 samples, MB");
    PrintLine("CSV export peak above the list / file size, 1,000,000", csvPeak < 0 || csvFile <= 0 ? -1 : csvPeak / csvFile,
              "<= 2", csvPeak <= 2 * csvFile);
    const double dump = figure("MemoryDump/");
    PrintLine("memory dump of 1,000 replies, ms", dump, "<= 200", dump <= 200);
    const double store = figure("ArchiveStore/1000000");
    const double plainInsert = figure("ArchivePlainInsert/1000000");
    const double storeRatio = store < 0 || plainInsert <= 0 ? -1 : store / plainInsert;
    PrintLine("archive: 1,000,000 samples in one store / plain insert", storeRatio, "<= 1.5", storeRatio <= 1.5);
    // The import reads and parses the CSV file too; the baseline inserts the rows it was written from.
    const double import = figure("ArchiveImport/1000000");
    const double importRatio = import < 0 || plainInsert <= 0 ? -1 : import / plainInsert;
    PrintLine("archive import of 1,000,000 CSV rows / plain insert", importRatio, "<= 1.5", importRatio <= 1.5);
    PrintLine("  archive import of 1,000,000 CSV rows, ms", import, "(no target)", true);
    PrintLine("  plain insert of 1,000,000 rows, ms", plainInsert, "(no target)", true);
    // A page archived after its download may add a tenth to the download's time.
    const double page = figure("ArchivePage/2000");
    const double pageRatio = page < 0 || instant <= 0 ? -1 : page / instant;
    PrintLine("archive: page of 2000 samples / download of 500 blocks", pageRatio, "<= 0.1", pageRatio <= 0.1);
    PrintLine("  archive: page of 2000 samples, ms", page, "(no target)", true);
    const double sync = figure("DiskSync/");
    PrintLine("  the disk's durable write of 4 KB (fsync), ms", sync, "(no target)", true);
    const double read = figure("ArchiveRead/100000");
    PrintLine("archive: 100,000 samples read, ms", read, "<= 300", read <= 300);
    const double connectEmpty = figure("WindowConnection/0");
    const double connectFull = figure("WindowConnection/100000");
    const double connectMore = connectEmpty < 0 || connectFull < 0 ? -1 : connectFull - connectEmpty;
    PrintLine("connection, 100,000 archived samples - empty archive, ms", connectMore, "<= 300", connectMore <= 300);
    PrintLine("  connection with 100,000 archived samples, ms", connectFull, "(no target)", true);
    PrintLine("  connection with an empty archive, ms", connectEmpty, "(no target)", true);
    const double report = figure("ReportYear/100000");
    PrintLine("report --year over 100,000 samples, ms", report, "<= 50", report <= 50);
    const struct {
        const char *Arg;
        const char *Name;
    } yields[] = {{"0", "year view"}, {"1", "list of years"}};
    for (const auto &y : yields) {
        const double view = figure(std::string("YieldsView/") + y.Arg);
        const double groupBy = figure(std::string("YieldsGroupBy/") + y.Arg);
        const double ratio = view < 0 || groupBy <= 0 ? -1 : view / groupBy;
        PrintLine(std::string("yields: ") + y.Name + ", 10 years / GROUP BY", ratio, "<= 1.5", ratio <= 1.5);
        PrintLine(std::string("  yields: ") + y.Name + ", ms", view, "(no target)", true);
        PrintLine(std::string("  GROUP BY of the same rows, ms"), groupBy, "(no target)", true);
    }
}

}

void RecordFigure(const std::string &Name, double Value)
{
    Figures()[Name] = Value;
}

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TFigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
