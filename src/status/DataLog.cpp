#include "status/DataLog.h"

#include "core/CodePage.h"
#include "core/FileErrors.h"

#include <QFile>

#include <stdexcept>

QString StatusLine(const TCurrentData &S, const TLocaleFormats &Formats)
{
    const THistoryData &h = S.Sample;
    const auto fixed = [&](double Value, int Decimals) { return FormatFixed(Formats, Value, Decimals); };
    return QStringLiteral("Helvane (%1-%2): %3, Tsoll=%4°C, Err=%5, TW=%6, TW2=%7, TB=%8, U1=%9, U2=%10, U3=%11, "
                          "I1=%12, I2=%13, I3=%14, PWM1=%15, PWM2=%16, PWM3=%17, P1=%18, P2=%19, P3=%20, "
                          "E=%21, Uisol=%22")
        .arg(FormatPadded(S.SN / 10000, 4), FormatPadded(S.SN % 10000, 4),
             FormatDateTime(Formats, QStringLiteral("c"), h.DT), QString::number(S.Tsoll), QString::number(h.Err),
             fixed(h.TW, 1), fixed(S.TW2, 1), fixed(h.TB, 1), fixed(h.U1, 2), fixed(h.U2, 2), fixed(h.U3, 2),
             fixed(h.I1, 2), fixed(h.I2, 2), fixed(h.I3, 2), QString::number(h.PWM1), QString::number(h.PWM2),
             QString::number(h.PWM3), fixed(h.P1, 1), fixed(h.P2, 1), fixed(h.P3, 1), QString::number(h.Energy),
             fixed(S.Uisol, 1));
}

namespace {

std::runtime_error DataLogError(const QString &Path, const QString &Reason)
{
    return std::runtime_error(QStringLiteral("Cannot write the data log \"%1\": %2").arg(Path, Reason).toStdString());
}

}

void AppendLineToFile(const QString &Path, const QString &Line)
{
    QByteArray bytes = ToWindows1252(Line);
    bytes.append("\r\n");
    // Unbuffered, so that a short write shows here and no buffered rest reaches the file later.
    QFile file(Path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw DataLogError(Path, file.errorString());
    const qint64 before = file.size();
    const qint64 written = file.write(bytes);
    if (written == bytes.size())
        return;
    const QString reason = ShortWriteReason(file, written, bytes.size());
    // The part of the line that made it would run into the next line: back to the whole lines.
    file.resize(before);
    throw DataLogError(Path, reason);
}
