#include "core/FileErrors.h"

#include <algorithm>

QString ShortWriteReason(const QFileDevice &File, qint64 Written, qint64 Size)
{
    if (File.error() != QFileDevice::NoError)
        return File.errorString();
    return QStringLiteral("only %1 of %2 bytes could be written").arg(std::max<qint64>(Written, 0)).arg(Size);
}
