#include "archive/SqlArchive.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QThread>

namespace {

const TSqlDialect Sqlite{
    // Takes the write lock at once: a writer waits for another at the start, never half-way.
    QStringLiteral("BEGIN IMMEDIATE"),
    QString(),
    QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"),
    // The samples in one tree by their key: no second tree to keep for the primary key.
    QStringLiteral("WITHOUT ROWID"),
};

// How long a write waits for another program's to end before the archive counts as locked;
// short, since the window waits with it.
constexpr int BusyTimeoutMs = 1000;
constexpr int RetryMs = 10;
const char *const SqliteBusy = "5";   // SQLITE_BUSY, as Qt gives SQLite's error codes

// SQLite would report either only as a file it cannot open.
void RequireFolder(const QFileInfo &File)
{
    const QFileInfo folder(File.absolutePath());
    if (!folder.isDir())
        throw EArchiveReason(QStringLiteral("the folder %1 does not exist").arg(folder.filePath()));
    if (!File.exists() && !folder.isWritable())
        throw EArchiveReason(QStringLiteral("it cannot be made in the folder %1, which is read-only").arg(folder.filePath()));
}

// False while another connection holds the lock that the switch takes.
bool SwitchedToWal(const TSqlConnection &Connection)
{
    QSqlQuery mode(Connection.Database());
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode = WAL"))) {
        if (mode.lastError().nativeErrorCode() == QLatin1String(SqliteBusy))
            return false;
        throw SqlReason(mode.lastError());
    }
    if (!mode.next() || mode.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0)
        throw EArchiveReason(QStringLiteral("it cannot be switched to write-ahead logging"));
    return true;
}

// SQLite does not wait for that lock as it does for others: while another program makes the same
// new archive, the switch is tried again until the busy time is over.
void SwitchToWal(const TSqlConnection &Connection)
{
    QElapsedTimer waited;
    waited.start();
    while (!SwitchedToWal(Connection)) {
        if (waited.elapsed() >= BusyTimeoutMs)
            throw EArchiveReason(QStringLiteral("database is locked"));
        QThread::msleep(RetryMs);
    }
}

}

std::unique_ptr<TArchive> OpenSqliteArchive(const QString &FileName, TArchiveUse Use)
{
    const QFileInfo file(FileName);
    const QString location = file.absoluteFilePath();
    return ArchiveStep(QStringLiteral("open"), location, [&]() -> std::unique_ptr<TArchive> {
        RequireFolder(file);
        if (Use == TArchiveUse::Read && !file.exists())
            throw EArchiveReason(QStringLiteral("it holds no samples yet: the file does not exist"));
        auto connection = std::make_unique<TSqlConnection>(QStringLiteral("QSQLITE"));
        {
            QSqlDatabase database = connection->Database();
            database.setDatabaseName(location);
            database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs)
                                       + (Use == TArchiveUse::Read ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
        }
        connection->Open();
        if (Use == TArchiveUse::Read) {
            RequireCurrentSchema(*connection, Sqlite);
            auto table = SqliteSampleTable(*connection);
            return std::make_unique<TSqlArchive>(std::move(connection), std::move(table), location, Sqlite);
        }
        // Each commit is on the disk before Store returns: a pulled plug loses no stored page.
        connection->Exec(QStringLiteral("PRAGMA synchronous = FULL"));
        // Read before anything is written: a newer archive is left untouched.
        SchemaVersion(*connection, Sqlite);
        SwitchToWal(*connection);
        UpgradeSchema(*connection, Sqlite);
        auto table = SqliteSampleTable(*connection);
        return std::make_unique<TSqlArchive>(std::move(connection), std::move(table), location, Sqlite);
    });
}
