#include "archive/ArchiveSchema.h"

#include <QStringList>

#include <array>
#include <vector>

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

// The one row of schema_version as a whole number; anything else is no version this program
// knows how to bring up.
qint64 HeldVersion(const TSqlConnection &Connection)
{
    QSqlQuery query = Connection.Exec(QStringLiteral("SELECT version FROM schema_version"));
    std::vector<QVariant> rows;
    while (query.next() && rows.size() < 2)
        rows.push_back(query.value(0));
    TSqlConnection::CheckRowsRead(query);
    if (rows.empty())
        throw EArchiveReason(QStringLiteral("its schema version is missing; it is left as it is"));
    if (rows.size() > 1)
        throw EArchiveReason(QStringLiteral("it holds several schema versions; it is left as it is"));
    const QVariant &held = rows.front();
    const int type = held.typeId();
    bool converted = false;
    const qint64 version = held.toLongLong(&converted);
    // Text, a fraction or NULL is no version, even where it reads as a number.
    if (!converted || (type != QMetaType::Int && type != QMetaType::LongLong && type != QMetaType::UInt && type != QMetaType::ULongLong))
        throw EArchiveReason(QStringLiteral("its schema version \"%1\" is not a whole number; it is left as it is").arg(held.toString()));
    return version;
}

// A version this program can bring up to its own, or the reason why not.
int UpgradableVersion(qint64 Version)
{
    if (Version > ArchiveSchemaVersion)
        throw EArchiveReason(QStringLiteral("its schema version %1 is newer than this program's %2; it is left as it is, "
                                            "open it with a newer helvane")
                                 .arg(Version)
                                 .arg(ArchiveSchemaVersion));
    if (Version < 1)
        throw EArchiveReason(QStringLiteral("its schema version %1 is none that helvane writes; it is left as it is").arg(Version));
    return static_cast<int>(Version);
}

}

int SchemaVersion(const TSqlConnection &Connection, const TSqlDialect &Dialect)
{
    QSqlQuery count = Connection.Prepare(Dialect.CountTables);
    count.bindValue(0, QStringLiteral("schema_version"));
    TSqlConnection::Exec(count);
    count.next();
    return count.value(0).toInt() == 0 ? 0 : UpgradableVersion(HeldVersion(Connection));
}

void RequireCurrentSchema(const TSqlConnection &Connection, const TSqlDialect &Dialect)
{
    const int held = SchemaVersion(Connection, Dialect);
    if (held == 0)
        throw EArchiveReason(QStringLiteral("it holds no samples yet"));
    if (held != ArchiveSchemaVersion)
        throw EArchiveReason(QStringLiteral("its schema version %1 is to be brought up by a program that writes to it").arg(held));
}

void UpgradeSchema(const TSqlConnection &Connection, const TSqlDialect &Dialect)
{
    TWriteTransaction transaction(Connection, Dialect.BeginWrite);
    if (!Dialect.LockSchema.isEmpty())
        Connection.Exec(Dialect.LockSchema);
    // Another writer may have changed the schema since it was first read.
    const int held = SchemaVersion(Connection, Dialect);
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
