#include "core/FileErrors.h"

#include <QSaveFile>

#include <algorithm>
#include <csignal>
#include <stdexcept>

QString ShortWriteReason(const QFileDevice &File, qint64 Written, qint64 Size)
{
    if (File.error() != QFileDevice::NoError)
        return File.errorString();
    return QStringLiteral("only %1 of %2 bytes could be written").arg(std::max<qint64>(Written, 0)).arg(Size);
}

void IgnoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

namespace {

std::runtime_error WriteError(const QString &FileName, const QString &Reason)
{
    return std::runtime_error(QStringLiteral("Cannot write \"%1\": %2").arg(FileName, Reason).toStdString());
}

}

// Unbuffered, so that a write the system cuts short is seen before the new file takes the old
// one's place.
void SaveWholeFile(const QString &FileName, const QByteArray &Contents)
{
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw WriteError(FileName, file.errorString());
    const qint64 written = file.write(Contents);
    if (written != Contents.size()) {
        const QString reason = ShortWriteReason(file, written, Contents.size());
        file.cancelWriting();
        throw WriteError(FileName, reason);
    }
    if (!file.commit())
        throw WriteError(FileName, file.errorString());
}
