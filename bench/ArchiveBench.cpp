// The archive on SQLite: storing a million samples at once, as an import does, beside a plain
// prepared insert of the same rows in one transaction; storing one downloaded page, beside the
// disk's time for one durable write; reading three years back.

#include "BenchWindow.h"
#include "SunReadings.h"
#include "archive/Archive.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

const QString Heater = QStringLiteral("1709-0634");
constexpr int PageSamples = 2000;   // 500 blocks of four records

// A reading a minute, as the heater stores them.
std::vector<THistoryData> Readings(int First, int Count)
{
    std::vector<THistoryData> samples;
    samples.reserve(static_cast<std::size_t>(Count));
    for (int i = First; i < First + Count; ++i)
        samples.push_back(SunReading(i, 60));
    return samples;
}

QString NewArchiveFile(const QTemporaryDir &Folder, int Number)
{
    const QString file = QDir(Folder.path()).filePath(QStringLiteral("Archive%1.sqlite").arg(Number));
    OpenArchive(file);
    return file;
}

void Exec(QSqlQuery &Query, const QString &Statement)
{
    if (!Query.exec(Statement))
        throw std::runtime_error(Statement.toStdString());
}

// The rows as the archive holds them, each inserted by one prepared statement, in one transaction
// on a connection set up as the archive's.
void PlainInsert(const QString &File, const std::vector<THistoryData> &Samples)
{
    const QString name = QStringLiteral("plain-insert");
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(File);
        database.open();
        QSqlQuery query(database);
        Exec(query, QStringLiteral("PRAGMA synchronous = FULL"));
        Exec(query, QStringLiteral("BEGIN IMMEDIATE"));
        query.prepare(QStringLiteral("INSERT INTO samples VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
        for (const THistoryData &s : Samples) {
            const auto key = static_cast<qint64>(std::llround((s.DT - 25569) * 86400000.0));
            query.bindValue(0, Heater);
            query.bindValue(1, key);
            query.bindValue(2, s.DT);
            query.bindValue(3, double(s.U1));
            query.bindValue(4, double(s.U2));
            query.bindValue(5, double(s.U3));
            query.bindValue(6, double(s.I1));
            query.bindValue(7, double(s.I2));
            query.bindValue(8, double(s.I3));
            query.bindValue(9, s.PWM1);
            query.bindValue(10, s.PWM2);
            query.bindValue(11, s.PWM3);
            query.bindValue(12, double(s.TW));
            query.bindValue(13, double(s.TB));
            query.bindValue(14, s.Energy);
            query.bindValue(15, s.Err);
            query.bindValue(16, double(s.P1));
            query.bindValue(17, double(s.P2));
            query.bindValue(18, double(s.P3));
            if (!query.exec())
                throw std::runtime_error("plain insert failed");
        }
        Exec(query, QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase(name);
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
BENCHMARK(ArchivePage)->Arg(PageSamples)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DiskSync)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveRead)->Arg(100000)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
