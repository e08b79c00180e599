#include "protocol/MemoryRows.h"

#include "protocol/Encodings.h"

namespace {

constexpr int RowSize = 16;
constexpr int RowsPerReply = 4;

}

QString HexAddress(std::int32_t Address)
{
    return QString::number(static_cast<std::uint32_t>(Address), 16).toUpper().rightJustified(6, QLatin1Char('0'));
}

QStringList MemoryRowLines(const TBytes &Reply, std::int32_t &Address, int Res, const TLocaleFormats &Formats)
{
    QStringList lines;
    for (int row = 0; row < RowsPerReply; ++row) {
        const int pos = row * RowSize;
        if (pos + RowSize <= static_cast<int>(Reply.size())) {
            const TDateTime stamp = DeviceSecondsToDateTime(static_cast<std::int32_t>(ReadU32BE(Reply, pos)));
            lines << QStringLiteral("Data %1 %2: %3 res=%4")
                         .arg(HexAddress(Address), FormatDateTime(Formats, QStringLiteral("c"), stamp),
                              BytesToHex(TBytes(Reply.begin() + pos, Reply.begin() + pos + RowSize)))
                         .arg(Res);
        }
        Address = static_cast<std::int32_t>(static_cast<std::uint32_t>(Address) + RowSize);
    }
    return lines;
}
