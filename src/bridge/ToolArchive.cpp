#include "bridge/ToolArchive.h"

TToolArchive::TToolArchive(const QString &Location, QTextStream &Err) : FErr(Err)
{
    if (Location.isEmpty())
        return;
    try {
        FArchive = OpenArchive(Location);
    } catch (const std::exception &Error) {
        Fail(Error);
    }
}

TToolArchive::~TToolArchive() = default;

void TToolArchive::Store(const QString &Key, std::span<const THistoryData> Samples)
{
    StoreOrLetGo(FArchive, Key, Samples, [this](const std::exception &Error) { Fail(Error); });
}

void TToolArchive::Fail(const std::exception &Error)
{
    FErr << "helvane-cli: " << QString::fromUtf8(Error.what()) << Qt::endl;
    FFailed = true;
}
