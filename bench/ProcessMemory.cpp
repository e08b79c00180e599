#include "ProcessMemory.h"

#include <QFile>

#include <cstring>

double StatusMegabytes(const char *Field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(Field))
            return line.mid(static_cast<qsizetype>(std::strlen(Field)) + 1).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}
