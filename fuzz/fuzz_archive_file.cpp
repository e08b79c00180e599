// A file someone hands the program as its archive: any bytes at all, opened for writing and for
// reading, read through and written to.

#include "archive/Archive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace {

QString ScratchFile()
{
    return QDir::temp().filePath(QStringLiteral("fuzz-archive-%1.sqlite").arg(getpid()));
}

void Remove(const QString &File)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(File + QLatin1String(suffix));
}

// Every way the program reads an archive, then a store.
void Use(TArchive &Archive)
{
    const QStringList serials = Archive.Serials();
    for (const QString &serial : serials.mid(0, 4)) {
        Archive.Samples(serial, FirstArchiveTime, LastArchiveTime);
        Archive.EnergySamples(serial, FirstArchiveTime, LastArchiveTime);
    }
    THistoryData sample;
    sample.DT = 42795.5;
    Archive.Store(QStringLiteral("1709-0634"), std::span<const THistoryData>(&sample, 1));
}

}

extern "C" int LLVMFuzzerInitialize(int *Argc, char ***Argv)
{
    // The SQL drivers are plugins, found through the application.
    static QCoreApplication application(*Argc, *Argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    const QString file = ScratchFile();
    Remove(file);
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            __builtin_trap();
        out.write(reinterpret_cast<const char *>(Data), static_cast<qint64>(Size));
    }
    try {
        Use(*OpenArchiveForReading(file));
    } catch (const EArchiveError &) {
    }
    try {
        Use(*OpenArchive(file));
    } catch (const EArchiveError &) {
    }
    Remove(file);
    return 0;
}
