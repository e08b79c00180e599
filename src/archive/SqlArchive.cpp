#include "archive/SqlArchive.h"

#include <algorithm>
#include <vector>

namespace {

const QString Columns = QStringLiteral(
    "serial, time_ms, dt, u1, u2, u3, i1, i2, i3, pwm1, pwm2, pwm3, tw, tb, energy, err, p1, p2, p3");
constexpr int ColumnCount = 19;
// Rows per statement: one round trip to a database server for many samples.
constexpr int RowsPerInsert = 100;
constexpr qint64 UnixEpochDay = 25569;
constexpr qint64 MSecsPerWholeDay = 86400000;

QString InsertStatement(int Rows)
{
    const QString row = QLatin1Char('(') + QStringList(ColumnCount, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    return QStringLiteral("INSERT INTO samples (%1) VALUES %2 ON CONFLICT DO NOTHING")
        .arg(Columns, QStringList(Rows, row).join(QLatin1Char(',')));
}

// The time stamp's key: its wall-clock milliseconds since 1970-01-01, free of any zone.
qint64 TimeKey(TDateTime DT)
{
    const TDayAndTime split = SplitDateTime(DT);
    return (split.Day - UnixEpochDay) * MSecsPerWholeDay + split.MSecs;
}

struct TKeyedSample {
    qint64 Key;
    const THistoryData *Sample;
};

// The samples by time stamp, each time stamp once (the first of the call). The same order in
// every writer keeps two of them inserting the same samples from waiting on each other.
std::vector<TKeyedSample> InTimeOrder(std::span<const THistoryData> Samples)
{
    std::vector<TKeyedSample> keyed;
    keyed.reserve(Samples.size());
    for (const THistoryData &sample : Samples)
        keyed.push_back({TimeKey(sample.DT), &sample});
    const auto byKey = [](const TKeyedSample &L, const TKeyedSample &R) { return L.Key < R.Key; };
    std::stable_sort(keyed.begin(), keyed.end(), byKey);
    const auto sameKey = [](const TKeyedSample &L, const TKeyedSample &R) { return L.Key == R.Key; };
    keyed.erase(std::unique(keyed.begin(), keyed.end(), sameKey), keyed.end());
    return keyed;
}

void BindRows(QSqlQuery &Query, const QString &Serial, std::span<const TKeyedSample> Rows)
{
    int pos = 0;
    const auto bind = [&](const QVariant &Value) { Query.bindValue(pos++, Value); };
    for (const TKeyedSample &row : Rows) {
        const THistoryData &s = *row.Sample;
        bind(Serial);
        bind(row.Key);
        bind(s.DT);
        for (const float value : {s.U1, s.U2, s.U3, s.I1, s.I2, s.I3})
            bind(static_cast<double>(value));
        for (const std::int32_t value : {s.PWM1, s.PWM2, s.PWM3})
            bind(value);
        bind(static_cast<double>(s.TW));
        bind(static_cast<double>(s.TB));
        bind(s.Energy);
        bind(s.Err);
        for (const float value : {s.P1, s.P2, s.P3})
            bind(static_cast<double>(value));
    }
}

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

TSqlArchive::TSqlArchive(std::unique_ptr<TSqlConnection> Connection, QString Location, TSqlDialect Dialect)
    : FConnection(std::move(Connection)), FLocation(std::move(Location)), FDialect(std::move(Dialect))
{
    ArchiveStep(QStringLiteral("open"), FLocation, [this] {
        FInsertRows = FConnection->Prepare(InsertStatement(RowsPerInsert));
        FInsertRow = FConnection->Prepare(InsertStatement(1));
        FSelect = FConnection->Prepare(QStringLiteral("SELECT %1 FROM samples WHERE serial = ? AND time_ms BETWEEN ? AND ? ORDER BY time_ms")
                                           .arg(QString(Columns).remove(QStringLiteral("serial, time_ms, "))));
        FSelect.setForwardOnly(true);
    });
}

void TSqlArchive::Store(const QString &Serial, std::span<const THistoryData> Samples)
{
    if (Samples.empty())
        return;
    ArchiveStep(QStringLiteral("store samples in"), FLocation, [&] {
        const std::vector<TKeyedSample> keyed = InTimeOrder(Samples);
        const std::span<const TKeyedSample> rows(keyed);
        TWriteTransaction transaction(*FConnection, FDialect.BeginWrite);
        std::size_t next = 0;
        for (; next + RowsPerInsert <= rows.size(); next += RowsPerInsert) {
            BindRows(FInsertRows, Serial, rows.subspan(next, RowsPerInsert));
            TSqlConnection::Exec(FInsertRows);
        }
        for (; next < rows.size(); ++next) {
            BindRows(FInsertRow, Serial, rows.subspan(next, 1));
            TSqlConnection::Exec(FInsertRow);
        }
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
