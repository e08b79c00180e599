#pragma once

// What the archive's tests share: samples that tell themselves apart in every field, plain SQL on
// an archive beside the archive's own code, and child processes that store while the parent
// watches.

#include "archive/Archive.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

// A sample with its own value in every field, at the given wall-clock second since 1970-01-01,
// dated the way the heater's records are.
THistoryData NumberedSample(qint64 Second, int Variant = 0);
// Count samples a minute apart from FirstSecond on.
std::vector<THistoryData> MinuteSamples(qint64 FirstSecond, int Count, int Variant = 0);
// Every field the same to the bit.
bool SameSample(const THistoryData &L, const THistoryData &R);
std::string Describe(const THistoryData &Sample);
std::vector<THistoryData> AllSamples(TArchive &Archive, const QString &Serial);

// Plain SQL on an archive, through a connection of the test's own.
class TPlainConnection {
public:
    explicit TPlainConnection(const QString &Location);
    ~TPlainConnection();
    TPlainConnection(const TPlainConnection &) = delete;
    TPlainConnection &operator=(const TPlainConnection &) = delete;
    // The first column of the statement's rows.
    QStringList Query(const QString &Statement) const;

private:
    QString FName;
};

// One statement through a connection of its own.
QStringList PlainQuery(const QString &Location, const QString &Statement);

// Runs Body in a forked child, as the user nobody when AsNobody and the tests run as root. Each
// line the child reports with Report reaches the parent's Lines at once, so that the parent can
// watch and kill it.
struct TChildRun {
    std::function<void(const std::function<void(const QString &)> &Report)> Body;
    bool AsNobody = false;
    // Called with the lines so far after each one; true kills the child with SIGKILL.
    std::function<bool(const QStringList &Lines)> KillWhen = [](const QStringList &) { return false; };
};
struct TChildResult {
    QStringList Lines;
    bool Killed = false;
    int ExitCode = -1;
};
TChildResult RunChild(const TChildRun &Run);
