#include "core/DataDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString DefaultDataDirectory()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (QFileInfo(beside).isWritable())
        return beside;
    // Named here rather than after the running program: the tool and the window share it.
    const QString data = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(QStringLiteral("helvane"));
    QDir().mkpath(data);
    return data;
}
