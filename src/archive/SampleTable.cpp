#include "archive/SampleTable.h"

#include <QStringList>

#include <algorithm>

const QString SampleColumns = QStringLiteral(
    "serial, time_ms, dt, u1, u2, u3, i1, i2, i3, pwm1, pwm2, pwm3, tw, tb, energy, err, p1, p2, p3");

namespace {

constexpr qint64 UnixEpochDay = 25569;
constexpr qint64 MSecsPerWholeDay = 86400000;
// Rows per statement of the Qt inserter.
constexpr int RowsPerInsert = 100;

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
    return SampleOfColumns([&](int Column) { return Query.value(Column).toDouble(); },
                           [&](int Column) { return Query.value(Column).toInt(); });
}

class TQtSampleTable : public TSampleTable {
public:
    explicit TQtSampleTable(const TSqlConnection &Connection)
        : FRows(Connection.Prepare(InsertStatement(RowsPerInsert))), FRow(Connection.Prepare(InsertStatement(1))),
          FSelect(Connection.Prepare(SelectStatement())), FSelectEnergy(Connection.Prepare(EnergySelectStatement()))
    {
        FSelect.setForwardOnly(true);
        FSelectEnergy.setForwardOnly(true);
    }

    std::size_t Insert(const QString &Serial, std::span<const TKeyedSample> Rows) override
    {
        std::size_t added = 0;
        const auto run = [&](QSqlQuery &Insert, std::span<const TKeyedSample> Some) {
            BindRows(Insert, Serial, Some);
            TSqlConnection::Exec(Insert);
            added += static_cast<std::size_t>(std::max(Insert.numRowsAffected(), 0));
        };
        std::size_t next = 0;
        for (; next + RowsPerInsert <= Rows.size(); next += RowsPerInsert)
            run(FRows, Rows.subspan(next, RowsPerInsert));
        for (; next < Rows.size(); ++next)
            run(FRow, Rows.subspan(next, 1));
        return added;
    }

    THistoryList Read(const QString &Serial, qint64 From, qint64 To) override
    {
        return Rows(FSelect, Serial, From, To, SampleAt);
    }

    THistoryList ReadEnergy(const QString &Serial, qint64 From, qint64 To) override
    {
        return Rows(FSelectEnergy, Serial, From, To, [](const QSqlQuery &Query) {
            THistoryData s;
            s.DT = Query.value(0).toDouble();
            s.Energy = Query.value(1).toInt();
            return s;
        });
    }

private:
    template <class TSampleOfRow>
    static THistoryList Rows(QSqlQuery &Select, const QString &Serial, qint64 From, qint64 To, TSampleOfRow SampleOfRow)
    {
        Select.bindValue(0, Serial);
        Select.bindValue(1, From);
        Select.bindValue(2, To);
        TSqlConnection::Exec(Select);
        THistoryList samples;
        while (Select.next())
            samples.Add(SampleOfRow(Select));
        TSqlConnection::CheckRowsRead(Select);
        Select.finish();
        return samples;
    }

    QSqlQuery FRows;   // a whole batch of rows in one statement
    QSqlQuery FRow;    // the rows past the last whole batch
    QSqlQuery FSelect;
    QSqlQuery FSelectEnergy;
};

}

qint64 TimeKey(TDateTime DT)
{
    const TDayAndTime split = SplitDateTime(DT);
    return (split.Day - UnixEpochDay) * MSecsPerWholeDay + split.MSecs;
}

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

QString InsertStatement(int Rows)
{
    const QString row = QLatin1Char('(') + QStringList(SampleColumnCount, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    return QStringLiteral("INSERT INTO samples (%1) VALUES %2 ON CONFLICT DO NOTHING")
        .arg(SampleColumns, QStringList(Rows, row).join(QLatin1Char(',')));
}

namespace {

QString SelectOf(const QString &Columns)
{
    return QStringLiteral("SELECT %1 FROM samples WHERE serial = ? AND time_ms BETWEEN ? AND ? ORDER BY time_ms").arg(Columns);
}

}

QString SelectStatement()
{
    return SelectOf(QString(SampleColumns).remove(QStringLiteral("serial, time_ms, ")));
}

QString EnergySelectStatement()
{
    return SelectOf(QStringLiteral("dt, energy"));
}

std::unique_ptr<TSampleTable> QtSampleTable(const TSqlConnection &Connection)
{
    return std::make_unique<TQtSampleTable>(Connection);
}
