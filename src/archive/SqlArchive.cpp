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
