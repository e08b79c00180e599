#include "archive/ArchiveSchema.h"

#include <QStringList>

#include <array>

namespace {

// The statements that bring the schema from version N to N + 1, at index N; TABLE_OPTIONS stands
// for the dialect's. The time stamp is the key, as wall-clock milliseconds since 1970-01-01
// without a zone; dt keeps the date-time as the program holds it, so that a sample reads back bit
// for bit.
const std::array<QStringList, ArchiveSchemaVersion> Upgrades{
    QStringList{
        QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"),
        QStringLiteral("CREATE TABLE samples ("
                       "serial TEXT NOT NULL, time_ms BIGINT NOT NULL, dt DOUBLE PRECISION NOT NULL, "
                       "u1 DOUBLE PRECISION NOT NULL, u2 DOUBLE PRECISION NOT NULL, u3 DOUBLE PRECISION NOT NULL, "
                       "i1 DOUBLE PRECISION NOT NULL, i2 DOUBLE PRECISION NOT NULL, i3 DOUBLE PRECISION NOT NULL, "
                       "pwm1 INTEGER NOT NULL, pwm2 INTEGER NOT NULL, pwm3 INTEGER NOT NULL, "
                       "tw DOUBLE PRECISION NOT NULL, tb DOUBLE PRECISION NOT NULL, "
                       "energy INTEGER NOT NULL, err INTEGER NOT NULL, "
                       "p1 DOUBLE PRECISION NOT NULL, p2 DOUBLE PRECISION NOT NULL, p3 DOUBLE PRECISION NOT NULL, "
                       "PRIMARY KEY (serial, time_ms)) TABLE_OPTIONS"),
    },
};

int HeldVersion(const TSqlConnection &Connection)
{
    QSqlQuery query = Connection.Exec(QStringLiteral("SELECT version FROM schema_version"));
    if (!query.next())
        throw EArchiveReason(QStringLiteral("its schema version is missing"));
    return query.value(0).toInt();
}

}

int SchemaVersion(const TSqlConnection &Connection, const TSqlDialect &Dialect)
{
    QSqlQuery count = Connection.Prepare(Dialect.CountTables);
    count.bindValue(0, QStringLiteral("schema_version"));
    TSqlConnection::Exec(count);
    count.next();
    return count.value(0).toInt() == 0 ? 0 : HeldVersion(Connection);
}

void RefuseNewerSchema(int Version)
{
    if (Version > ArchiveSchemaVersion)
        throw EArchiveReason(QStringLiteral("its schema version %1 is newer than this program's %2; it is left as it is, "
                                            "open it with a newer helvane")
                                 .arg(Version)
                                 .arg(ArchiveSchemaVersion));
}

void UpgradeSchema(const TSqlConnection &Connection, const TSqlDialect &Dialect)
{
    TWriteTransaction transaction(Connection, Dialect.BeginWrite);
    if (!Dialect.LockSchema.isEmpty())
        Connection.Exec(Dialect.LockSchema);
    // Another writer may have changed the schema since it was first read.
    const int held = SchemaVersion(Connection, Dialect);
    RefuseNewerSchema(held);
    if (held == ArchiveSchemaVersion) {
        // A write that the transaction's end undoes: an archive that cannot be written fails
        // here, not at its first Store. A read-only file can still be read and begin a transaction.
        Connection.Exec(QStringLiteral("UPDATE schema_version SET version = version"));
        return;
    }
    for (int version = held; version < ArchiveSchemaVersion; ++version) {
        for (const QString &statement : Upgrades[static_cast<std::size_t>(version)])
            Connection.Exec(QString(statement).replace(QStringLiteral("TABLE_OPTIONS"), Dialect.TableOptions));
    }
    Connection.Exec(QStringLiteral("UPDATE schema_version SET version = %1").arg(ArchiveSchemaVersion));
    transaction.Commit();
}
