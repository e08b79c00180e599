// The archive on SQLite: storing a million samples at once, as an import does, beside a plain
// prepared insert of the same rows in one transaction through the SQLite library; the tool's
// import of the same rows from a CSV file, its reading included, beside that insert too; storing
// one downloaded page, beside the disk's time for one durable write; reading three years back;
// the window's connection with three years archived, beside its connection with an empty
// archive; the tool's report of a year; the yields window's year view and list of years over
// ten years of one heater, beside a plain GROUP BY of the same rows.

#include "BenchWindow.h"
#include "StoredHistory.h"
#include "SunReadings.h"
#include "app/YieldsWindow.h"
#include "archive/Archive.h"
#include "cli/Cli.h"
#include "heatersim.h"
#include "history/HistoryCsv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

const QString Heater = QStringLiteral("1709-0634");
constexpr int PageSamples = 2000;   // 500 blocks of four records

// A reading a minute, as the heater stores them, or one every StepSeconds.
std::vector<THistoryData> Readings(int First, int Count, double StepSeconds = 60)
{
    std::vector<THistoryData> samples;
    samples.reserve(static_cast<std::size_t>(Count));
    for (int i = First; i < First + Count; ++i)
        samples.push_back(SunReading(i, StepSeconds));
    return samples;
}

QString NewArchiveFile(const QTemporaryDir &Folder, int Number)
{
    const QString file = QDir(Folder.path()).filePath(QStringLiteral("Archive%1.sqlite").arg(Number));
    OpenArchive(file);
    return file;
}

// The tool run in this process; a failure ends the benchmark rather than be measured.
void RunTool(benchmark::State &State, const QStringList &Arguments, QString &Out)
{
    QString err;
    QTextStream outStream(&Out), errStream(&err);
    TCliContext context = DefaultCliContext(outStream, errStream);
    context.ProgressShown = false;
    context.ArchiveLocation.clear();
    if (RunCli(Arguments, context) != 0)
        State.SkipWithError(("helvane-cli " + Arguments.join(QLatin1Char(' ')) + ": " + err).toStdString().c_str());
}

void Exec(sqlite3 *Database, const char *Statement)
{
    if (sqlite3_exec(Database, Statement, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(Database));
}

// The rows as the archive holds them, each inserted by one prepared statement of the SQLite
// library itself, in one transaction on a connection set up as the archive's.
void PlainInsert(const QString &File, const std::vector<THistoryData> &Samples)
{
    sqlite3 *database = nullptr;
    if (sqlite3_open(File.toUtf8().constData(), &database) != SQLITE_OK)
        throw std::runtime_error("cannot open the archive file");
    Exec(database, "PRAGMA synchronous = FULL");
    Exec(database, "BEGIN IMMEDIATE");
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(database, "INSERT INTO samples VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &insert, nullptr);
    const QByteArray serial = Heater.toUtf8();
    for (const THistoryData &s : Samples) {
        sqlite3_bind_text(insert, 1, serial.constData(), static_cast<int>(serial.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert, 2, std::llround((s.DT - 25569) * 86400000.0));
        sqlite3_bind_double(insert, 3, s.DT);
        int pos = 4;
        for (const float value : {s.U1, s.U2, s.U3, s.I1, s.I2, s.I3})
            sqlite3_bind_double(insert, pos++, value);
        for (const int value : {s.PWM1, s.PWM2, s.PWM3})
            sqlite3_bind_int(insert, pos++, value);
        sqlite3_bind_double(insert, pos++, s.TW);
        sqlite3_bind_double(insert, pos++, s.TB);
        sqlite3_bind_int(insert, pos++, s.Energy);
        sqlite3_bind_int(insert, pos++, s.Err);
        for (const float value : {s.P1, s.P2, s.P3})
            sqlite3_bind_double(insert, pos++, value);
        if (sqlite3_step(insert) != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(database));
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Exec(database, "COMMIT");
    sqlite3_close(database);
}

// A million samples in one Store, into a new archive file each time.
void ArchiveStore(benchmark::State &State)
{
    const std::vector<THistoryData> samples = Readings(0, static_cast<int>(State.range(0)));
    QTemporaryDir folder;
    int number = 0;
    for (auto _ : State) {
        State.PauseTiming();
        const auto archive = OpenArchive(NewArchiveFile(folder, ++number));
        State.ResumeTiming();
        archive->Store(Heater, samples);
    }
}

void ArchivePlainInsert(benchmark::State &State)
{
    const std::vector<THistoryData> samples = Readings(0, static_cast<int>(State.range(0)));
    QTemporaryDir folder;
    int number = 0;
    for (auto _ : State) {
        State.PauseTiming();
        const QString file = NewArchiveFile(folder, ++number);
        State.ResumeTiming();
        PlainInsert(file, samples);
    }
}

// The same rows as ArchivePlainInsert's, written as the window and the tool write their CSV
// files, imported by the tool into a new archive file each time: the file read and parsed, the
// samples stored.
void ArchiveImport(benchmark::State &State)
{
    QTemporaryDir folder;
    const QString csv = QDir(folder.path()).filePath(QStringLiteral("history.csv"));
    {
        THistoryList history;
        for (const THistoryData &sample : Readings(0, static_cast<int>(State.range(0))))
            history.Add(sample);
        const TCsvHeading heading{SunReadingsStart + 1000, QStringLiteral("1709- 634"), QStringLiteral("V1.10")};
        QFile file(csv);
        if (!file.open(QIODevice::WriteOnly) || file.write(HistoryCsv(history, 0, history.Count(), true, heading, {})) < 0)
            throw std::runtime_error("cannot write the CSV file");
    }
    int number = 0;
    QString out;
    for (auto _ : State) {
        State.PauseTiming();
        const QString archive = NewArchiveFile(folder, ++number);
        out.clear();
        State.ResumeTiming();
        RunTool(State, {QStringLiteral("archive"), QStringLiteral("import"), QStringLiteral("--csv"), csv,
                        QStringLiteral("--archive"), archive}, out);
    }
    State.counters["CSV_MB"] = static_cast<double>(QFile(csv).size()) / (1024 * 1024);
    // "N samples of ... imported into ...": every row must have gone in.
    State.counters["imported"] = out.section(QLatin1Char(' '), 0, 0).toDouble();
    if (out.section(QLatin1Char(' '), 0, 0).toLongLong() != State.range(0))
        State.SkipWithError("the tool did not import every row");
}

// The window showing itself, and so connecting to the heater, with an archive that holds Count
// samples of the heater over three years (none: an empty archive). The heater's memory holds the
// last days of those years, as it would after three years archived. Each connection starts from a
// copy of the same archive file, since the window archives what it reads.
void WindowConnection(benchmark::State &State)
{
    const int count = static_cast<int>(State.range(0));
    constexpr double Years = 3 * 365 * 86400.0;
    heatersim_reset();
    std::vector<TRecord> memory;
    for (int i = 0; i < 2200; ++i)
        memory.push_back(Record(SunReadingsStart + Years / 86400 - i / 1440.0, 55, i));
    Store(memory);
    heatersim_plug_heater("/dev/hidraw-bench", L"V1.10");
    QTemporaryDir folder;
    const QString original = NewArchiveFile(folder, 0);
    if (count > 0)
        OpenArchive(original)->Store(Heater, Readings(0, count, Years / count));
    TStartupOptions options = BenchWindowOptions(folder.path());
    int number = 0;
    int loaded = 0;
    for (auto _ : State) {
        State.PauseTiming();
        options.ArchiveLocation = QDir(folder.path()).filePath(QStringLiteral("Connection%1.sqlite").arg(++number));
        QFile::copy(original, options.ArchiveLocation);
        auto window = std::make_unique<TFormMain>(options);
        State.ResumeTiming();
        ShowConnected(*window);
        State.PauseTiming();
        loaded = window->FHistoryData.Count();
        window.reset();
        State.ResumeTiming();
    }
    if (loaded < count)
        State.SkipWithError("the window did not load the archived samples");
    State.counters["samples"] = loaded;
}

// The energy report of 2017 from an archive that holds Count samples of that year.
void ReportYear(benchmark::State &State)
{
    const int count = static_cast<int>(State.range(0));
    constexpr TDateTime January1 = 42736.0;   // 2017-01-01
    std::vector<THistoryData> samples = Readings(0, count, 364 * 86400.0 / count);
    for (THistoryData &sample : samples)
        sample.DT += January1 - SunReadingsStart;
    QTemporaryDir folder;
    const QString archive = NewArchiveFile(folder, 0);
    OpenArchive(archive)->Store(Heater, samples);
    QString out;
    for (auto _ : State) {
        out.clear();
        RunTool(State, {QStringLiteral("report"), QStringLiteral("--year"), QStringLiteral("2017"), QStringLiteral("--archive"), archive},
                out);
    }
    State.counters["lines"] = static_cast<double>(out.count(QLatin1Char('\n')));
}

// Ten years of one heater, a reading every 15 minutes: made once, for the yields and their
// baseline alike.
constexpr int TenYearsOfReadings = 10 * 36525 * 96 / 100;
const QDate TenYearsToday(2027, 3, 31);

const QString &TenYearsArchive()
{
    static QTemporaryDir folder;
    static const QString file = [] {
        const QString name = NewArchiveFile(folder, 0);
        OpenArchive(name)->Store(Heater, Readings(0, TenYearsOfReadings, 900));
        return name;
    }();
    return file;
}

// The year view (its rows: two years) or the list of years (all ten).
TYieldPeriod YieldsOf(std::int64_t Which)
{
    return Which == 0 ? TYieldPeriod{TYieldLevel::Months, 2026, 0} : TYieldPeriod{TYieldLevel::Years, 0, 0};
}

// What the window does for a view: the heater's span, then the view read and summed.
void YieldsView(benchmark::State &State)
{
    const auto archive = OpenArchive(TenYearsArchive());
    const TYieldPeriod period = YieldsOf(State.range(0));
    std::int64_t total = 0;
    for (auto _ : State) {
        const std::optional<TYieldSpan> span = ReadYieldSpan(*archive, Heater, TenYearsToday);
        total = ReadYields(*archive, Heater, period, *span).TotalWh;
    }
    State.counters["total_kWh"] = static_cast<double>(total) / 1000;
}

// The same rows as the view reads, each day's largest energy by SQL alone, through the SQLite
// library on a connection of its own.
void YieldsGroupBy(benchmark::State &State)
{
    const auto archive = OpenArchive(TenYearsArchive());
    const TDateRange dates = YieldDates(YieldsOf(State.range(0)), *ReadYieldSpan(*archive, Heater, TenYearsToday));
    const auto key = [](TDateTime DT) { return std::llround((DT - 25569) * 86400000.0); };
    sqlite3 *database = nullptr;
    if (sqlite3_open(TenYearsArchive().toUtf8().constData(), &database) != SQLITE_OK)
        throw std::runtime_error("cannot open the archive file");
    sqlite3_stmt *select = nullptr;
    sqlite3_prepare_v2(database,
                       "SELECT time_ms / 86400000, max(energy) FROM samples WHERE serial = ? AND time_ms BETWEEN ? AND ? "
                       "GROUP BY time_ms / 86400000",
                       -1, &select, nullptr);
    const QByteArray serial = Heater.toUtf8();
    std::int64_t days = 0;
    for (auto _ : State) {
        sqlite3_bind_text(select, 1, serial.constData(), static_cast<int>(serial.size()), SQLITE_STATIC);
        sqlite3_bind_int64(select, 2, key(DayStart(dates.First)));
        sqlite3_bind_int64(select, 3, key(DayEnd(dates.Last)));
        days = 0;
        std::int64_t total = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            ++days;
            total += sqlite3_column_int64(select, 1);
        }
        sqlite3_reset(select);
        benchmark::DoNotOptimize(total);
    }
    sqlite3_finalize(select);
    sqlite3_close(database);
    State.counters["days"] = static_cast<double>(days);
}

// One downloaded page after another into an archive that holds three years of readings.
void ArchivePage(benchmark::State &State)
{
    QTemporaryDir folder;
    const auto archive = OpenArchive(NewArchiveFile(folder, 0));
    constexpr int Held = 3 * 365 * 24 * 60 / 15;   // a reading every 15 minutes
    archive->Store(Heater, Readings(0, Held));
    int first = Held;
    for (auto _ : State) {
        State.PauseTiming();
        const std::vector<THistoryData> page = Readings(first, PageSamples);
        first += PageSamples;
        State.ResumeTiming();
        archive->Store(Heater, page);
    }
}

// The samples of three years read back, as the window does at connection.
void ArchiveRead(benchmark::State &State)
{
    QTemporaryDir folder;
    const auto archive = OpenArchive(NewArchiveFile(folder, 0));
    const std::vector<THistoryData> samples = Readings(0, static_cast<int>(State.range(0)));
    archive->Store(Heater, samples);
    for (auto _ : State)
        benchmark::DoNotOptimize(archive->Samples(Heater, samples.front().DT, samples.back().DT));
}

// What the disk takes to make a write durable: a page's commit waits for it once.
void DiskSync(benchmark::State &State)
{
    QTemporaryDir folder;
    QFile file(QDir(folder.path()).filePath(QStringLiteral("sync")));
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write in the temporary folder");
    const QByteArray page(4096, 'x');
    for (auto _ : State) {
        file.write(page);
        file.flush();
        fsync(file.handle());
    }
}

}

BENCHMARK(ArchiveStore)->Arg(1000000)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ArchivePlainInsert)->Arg(1000000)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveImport)->Arg(1000000)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ArchivePage)->Arg(PageSamples)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DiskSync)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveRead)->Arg(100000)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(WindowConnection)->Arg(0)->Arg(100000)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(YieldsView)->Arg(0)->Arg(1)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(YieldsGroupBy)->Arg(0)->Arg(1)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ReportYear)->Arg(100000)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
