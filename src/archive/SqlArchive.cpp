#include "archive/SqlArchive.h"

namespace {

THistoryData SampleAt(const QSqlQuery &Query)
{
    int pos = 0;
    const auto real = [&] { return static_cast<float>(Query.value(pos++).toDouble()); };
    const auto whole = [&] { return static_cast<std::int32_t>(Query.value(pos++).toInt()); };
    THistoryData s;
    s.DT = Query.value(pos++).toDouble();
    s.U1 = real();
    s.U2 = real();
    s.U3 = real();
    s.I1 = real();
    s.I2 = real();
    s.I3 = real();
    s.PWM1 = whole();
    s.PWM2 = whole();
    s.PWM3 = whole();
    s.TW = real();
    s.TB = real();
    s.Energy = whole();
    s.Err = whole();
    s.P1 = real();
    s.P2 = real();
    s.P3 = real();
    return s;
}

}

TSqlArchive::TSqlArchive(std::unique_ptr<TSqlConnection> Connection, std::unique_ptr<TRowInserter> Inserter, QString Location,
                         TSqlDialect Dialect)
    : FConnection(std::move(Connection)), FInserter(std::move(Inserter)), FLocation(std::move(Location)), FDialect(std::move(Dialect))
{
    ArchiveStep(QStringLiteral("open"), FLocation, [this] {
        FSelect = FConnection->Prepare(QStringLiteral("SELECT %1 FROM samples WHERE serial = ? AND time_ms BETWEEN ? AND ? ORDER BY time_ms")
                                           .arg(QString(SampleColumns).remove(QStringLiteral("serial, time_ms, "))));
        FSelect.setForwardOnly(true);
    });
}

void TSqlArchive::Store(const QString &Serial, std::span<const THistoryData> Samples)
{
    if (Samples.empty())
        return;
    ArchiveStep(QStringLiteral("store samples in"), FLocation, [&] {
        const std::vector<TKeyedSample> rows = InTimeOrder(Samples);
        TWriteTransaction transaction(*FConnection, FDialect.BeginWrite);
        FInserter->Insert(Serial, rows);
        transaction.Commit();
    });
}

THistoryList TSqlArchive::Samples(const QString &Serial, TDateTime From, TDateTime To)
{
    return ArchiveStep(QStringLiteral("read"), FLocation, [&] {
        FSelect.bindValue(0, Serial);
        FSelect.bindValue(1, TimeKey(From));
        FSelect.bindValue(2, TimeKey(To));
        TSqlConnection::Exec(FSelect);
        THistoryList samples;
        while (FSelect.next())
            samples.Add(SampleAt(FSelect));
        TSqlConnection::CheckRowsRead(FSelect);
        FSelect.finish();
        return samples;
    });
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
