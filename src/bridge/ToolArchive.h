#pragma once

// The archive as the tool and the bridge use it: opened when they start, and a write that fails
// said once, the work going on without the archive.

#include "archive/Archive.h"

#include <QTextStream>

#include <memory>
#include <span>

class TToolArchive {
public:
    // No archive when Location is empty; one that cannot be opened is said on Err.
    TToolArchive(const QString &Location, QTextStream &Err);
    ~TToolArchive();

    void Store(const QString &Key, std::span<const THistoryData> Samples);
    bool Open() const { return FArchive != nullptr; }
    bool Failed() const { return FFailed; }
    // "ok", "failing: <reason>", or "none" without an archive.
    QString State() const;

private:
    void Fail(const std::exception &Error);

    QTextStream &FErr;
    std::unique_ptr<TArchive> FArchive;
    bool FFailed = false;
    QString FReason;   // of the last failure
};
