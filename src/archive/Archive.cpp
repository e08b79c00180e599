#include "archive/Archive.h"

#include "archive/SqlArchive.h"
#include "settings/SettingValues.h"

#include <QDir>

std::unique_ptr<TArchive> OpenArchive(const QString &Location)
{
    if (Location.startsWith(QStringLiteral("postgresql://")))
        return OpenPostgresArchive(Location, TArchiveUse::Write);
    return OpenSqliteArchive(Location, TArchiveUse::Write);
}

std::unique_ptr<TArchive> OpenArchiveForReading(const QString &Location)
{
    if (Location.startsWith(QStringLiteral("postgresql://")))
        return OpenPostgresArchive(Location, TArchiveUse::Read);
    return OpenSqliteArchive(Location, TArchiveUse::Read);
}

QString ArchiveLocation(const QString &DataDirectory)
{
    const QString named = qEnvironmentVariable("HELVANE_ARCHIVE");
    return named.isEmpty() ? QDir(DataDirectory).filePath(QStringLiteral("Archive.sqlite")) : named;
}

QString ArchiveKey(std::int32_t SN)
{
    if (!PlausibleSerialNumber(SN))
        return QStringLiteral("unset");
    return QStringLiteral("%1-%2").arg(SN / 10000, 4, 10, QLatin1Char('0')).arg(SN % 10000, 4, 10, QLatin1Char('0'));
}
