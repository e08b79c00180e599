// A CSV file an owner brings to archive import: any bytes at all.

#include "history/HistoryCsvImport.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    const QByteArray file(reinterpret_cast<const char *>(Data), static_cast<qsizetype>(Size));
    try {
        const THistoryCsvImport import = ReadHistoryCsv(file);
        // Each row is read whole or counted bad, never both, never more rows than lines.
        if (import.Samples.Count() + import.BadRows > file.count('\n') + file.count('\r') + 1)
            __builtin_trap();
    } catch (const std::runtime_error &) {
    }
    return 0;
}
