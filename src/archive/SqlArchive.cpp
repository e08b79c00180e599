#include "archive/SqlArchive.h"

#include <algorithm>

TSqlArchive::TSqlArchive(std::unique_ptr<TSqlConnection> Connection, std::unique_ptr<TSampleTable> Table, QString Location,
                         TSqlDialect Dialect)
    : FConnection(std::move(Connection)), FTable(std::move(Table)), FLocation(std::move(Location)), FDialect(std::move(Dialect))
{
}

void TSqlArchive::Store(const QString &Serial, std::span<const THistoryData> Samples)
{
    if (Samples.empty())
        return;
    ArchiveStep(QStringLiteral("store samples in"), FLocation, [&] {
        const std::vector<TKeyedSample> rows = InTimeOrder(Samples);
        TWriteTransaction transaction(*FConnection, FDialect.BeginWrite);
        FTable->Insert(Serial, rows);
        transaction.Commit();
    });
}

THistoryList TSqlArchive::Samples(const QString &Serial, TDateTime From, TDateTime To)
{
    const auto key = [](TDateTime DT) { return TimeKey(std::clamp(DT, FirstArchiveTime, LastArchiveTime)); };
    return ArchiveStep(QStringLiteral("read"), FLocation, [&] { return FTable->Read(Serial, key(From), key(To)); });
}

QStringList TSqlArchive::Serials()
{
    return ArchiveStep(QStringLiteral("read"), FLocation, [&] {
        QSqlQuery query = FConnection->Exec(QStringLiteral("SELECT DISTINCT serial FROM samples"));
        QStringList serials;
        while (query.next())
            serials.append(query.value(0).toString());
        TSqlConnection::CheckRowsRead(query);
        serials.sort();
        return serials;
    });
}
