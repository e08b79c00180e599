#pragma once

// The archive on a Qt SQL connection: the same tables and statements on SQLite and PostgreSQL.

#include "archive/Archive.h"
#include "archive/ArchiveSchema.h"
#include "archive/SampleTable.h"
#include "archive/SqlConnection.h"


#include <memory>

class TSqlArchive : public TArchive {
public:
    // Takes a connection whose schema is this program's, and its samples table.
    TSqlArchive(std::unique_ptr<TSqlConnection> Connection, std::unique_ptr<TSampleTable> Table, QString Location,
                TSqlDialect Dialect);
    std::size_t Store(const QString &Serial, std::span<const THistoryData> Samples) override;
    THistoryList Samples(const QString &Serial, TDateTime From, TDateTime To) override;
    THistoryList EnergySamples(const QString &Serial, TDateTime From, TDateTime To) override;
    std::optional<TSampleSpan> SampleSpan(const QString &Serial) override;
    QStringList Serials() override;
    void Erase(const QString &Serial) override;
    QString Location() const override { return FLocation; }

private:
    // The connection outlives the statements prepared on it.
    std::unique_ptr<TSqlConnection> FConnection;
    std::unique_ptr<TSampleTable> FTable;
    QString FLocation;
    TSqlDialect FDialect;
};

enum class TArchiveUse { Read, Write };

// An SQLite file in WAL mode, created when missing in a folder that exists.
std::unique_ptr<TArchive> OpenSqliteArchive(const QString &FileName, TArchiveUse Use);
// A PostgreSQL database named by a postgresql:// URL; its query's parameters go to libpq as they
// stand.
std::unique_ptr<TArchive> OpenPostgresArchive(const QString &Url, TArchiveUse Use);
// The URL without its password, whether in the user part or as a parameter.
QString PostgresLocation(const QString &Url);
