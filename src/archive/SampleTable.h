#pragma once

// Samples as the archive's rows: the time stamp's key, the order a Store writes them in, and the
// samples table through each database's fastest way.

#include "archive/SqlConnection.h"
#include "history/HistoryData.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// The columns of the samples table, in the order of THistoryData's fields after the key.
extern const QString SampleColumns;
constexpr int SampleColumnCount = 19;

// The time stamp's key: its wall-clock milliseconds since 1970-01-01, free of any zone.
qint64 TimeKey(TDateTime DT);

struct TKeyedSample {
    qint64 Key;
    const THistoryData *Sample;
};

// The samples by time stamp, each time stamp once (the first given). The same order in every
// writer keeps two of them inserting the same samples from waiting on each other.
std::vector<TKeyedSample> InTimeOrder(std::span<const THistoryData> Samples);

// A sample from a row's columns in THistoryData's order, each read by the reader of its kind
// (given the column's position).
template <class ReadDouble, class ReadInteger>
THistoryData SampleOfColumns(ReadDouble Double, ReadInteger Integer)
{
    int pos = 0;
    const auto real = [&] { return static_cast<float>(Double(pos++)); };
    const auto whole = [&] { return static_cast<std::int32_t>(Integer(pos++)); };
    THistoryData s;
    s.DT = Double(pos++);
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

// "INSERT ... VALUES (?, ...), ... ON CONFLICT DO NOTHING" for Rows rows: a time stamp that the
// heater has already keeps its sample.
QString InsertStatement(int Rows);

// The samples table on a connection that outlives it. Failures raise EArchiveReason.
class TSampleTable {
public:
    virtual ~TSampleTable() = default;
    // Inserts rows within the write transaction of a Store; returns how many were new.
    virtual std::size_t Insert(const QString &Serial, std::span<const TKeyedSample> Rows) = 0;
    // The heater's samples whose keys lie from From to To, oldest first.
    virtual THistoryList Read(const QString &Serial, qint64 From, qint64 To) = 0;
    // The same with only the time stamps and energies read.
    virtual THistoryList ReadEnergy(const QString &Serial, qint64 From, qint64 To) = 0;
};

// Through Qt SQL's prepared statements, many rows to an insert: one round trip to a database
// server for many samples.
std::unique_ptr<TSampleTable> QtSampleTable(const TSqlConnection &Connection);

// Through the SQLite library on the connection's own handle. Qt binds and reads each value as a
// QVariant, and binds each under a name it makes up, which costs several times SQLite's own work.
std::unique_ptr<TSampleTable> SqliteSampleTable(const TSqlConnection &Connection);

// The statement that reads a heater's samples from one key to another, in the order of
// THistoryData's fields.
QString SelectStatement();
// The same reading only dt and energy.
QString EnergySelectStatement();
