#include "archive/SqlArchive.h"

#include <algorithm>

TSqlArchive::TSqlArchive(std::unique_ptr<TSqlConnection> Connection, std::unique_ptr<TSampleTable> Table, QString Location,
                         TSqlDialect Dialect)
    : FConnection(std::move(Connection)), FTable(std::move(Table)), FLocation(std::move(Location)), FDialect(std::move(Dialect))
{
}

std::size_t TSqlArchive::Store(const QString &Serial, std::span<const THistoryData> Samples)
{
    if (Samples.empty())
        return 0;
    return ArchiveStep(QStringLiteral("store samples in"), FLocation, [&] {
        const std::vector<TKeyedSample> rows = InTimeOrder(Samples);
        TWriteTransaction transaction(*FConnection, FDialect.BeginWrite);
        const std::size_t added = FTable->Insert(Serial, rows);
        transaction.Commit();
        return added;
    });
}

void TSqlArchive::Erase(const QString &Serial)
{
    ArchiveStep(QStringLiteral("erase samples in"), FLocation, [&] {
        TWriteTransaction transaction(*FConnection, FDialect.BeginWrite);
        QSqlQuery erase = FConnection->Prepare(QStringLiteral("DELETE FROM samples WHERE serial = ?"));
        erase.bindValue(0, Serial);
        TSqlConnection::Exec(erase);
        transaction.Commit();
    });
}

namespace {

qint64 HeldKey(TDateTime DT)
{
    return TimeKey(std::clamp(DT, FirstArchiveTime, LastArchiveTime));
}

}

THistoryList TSqlArchive::Samples(const QString &Serial, TDateTime From, TDateTime To)
{
    return ArchiveStep(QStringLiteral("read"), FLocation, [&] { return FTable->Read(Serial, HeldKey(From), HeldKey(To)); });
}

THistoryList TSqlArchive::EnergySamples(const QString &Serial, TDateTime From, TDateTime To)
{
    return ArchiveStep(QStringLiteral("read"), FLocation,
                       [&] { return FTable->ReadEnergy(Serial, HeldKey(From), HeldKey(To)); });
}

std::optional<TSampleSpan> TSqlArchive::SampleSpan(const QString &Serial)
{
    return ArchiveStep(QStringLiteral("read"), FLocation, [&]() -> std::optional<TSampleSpan> {
        const auto end = [&](const QString &Order) -> std::optional<TDateTime> {
            QSqlQuery query = FConnection->Prepare(
                QStringLiteral("SELECT dt FROM samples WHERE serial = ? ORDER BY time_ms %1 LIMIT 1").arg(Order));
            query.bindValue(0, Serial);
            TSqlConnection::Exec(query);
            const std::optional<TDateTime> dt = query.next() ? std::optional(query.value(0).toDouble()) : std::nullopt;
            TSqlConnection::CheckRowsRead(query);
            return dt;
        };
        const std::optional<TDateTime> first = end(QStringLiteral("ASC"));
        const std::optional<TDateTime> last = end(QStringLiteral("DESC"));
        if (!first || !last)
            return std::nullopt;
        return TSampleSpan{*first, *last};
    });
}

QStringList TSqlArchive::Serials()
{
    // From one serial number to the next along the samples' key: a look into the tree per
    // heater rather than a pass over all their samples.
    return ArchiveStep(QStringLiteral("read"), FLocation, [&] {
        QSqlQuery first = FConnection->Exec(QStringLiteral("SELECT min(serial) FROM samples"));
        QVariant serial = first.next() ? first.value(0) : QVariant();
        TSqlConnection::CheckRowsRead(first);
        QSqlQuery next = FConnection->Prepare(QStringLiteral("SELECT serial FROM samples WHERE serial > ? ORDER BY serial LIMIT 1"));
        QStringList serials;
        while (!serial.isNull()) {
            serials.append(serial.toString());
            next.bindValue(0, serial);
            TSqlConnection::Exec(next);
            serial = next.next() ? next.value(0) : QVariant();
            TSqlConnection::CheckRowsRead(next);
        }
        serials.sort();
        return serials;
    });
}
