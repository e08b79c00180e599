// A CSV file an owner brings to archive import: any bytes at all.

#include "history/HistoryCsvImport.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    const QByteArray file(reinterpret_cast<const char *>(Data), static_cast<qsizetype>(Size));
    try {
        const THistoryCsvImport import = ReadHistoryCsv(file, {2027, std::nullopt});
        // Each row is taken, counted bad or refused, never two of them, never more rows than lines.
        if (import.Samples.Count() + import.BadRows + import.RefusedRows > file.count('\n') + file.count('\r') + 1)
            __builtin_trap();
        // Every sample taken is dated as a heater's.
        for (const THistoryData &sample : import.Samples) {
            if (!(sample.DT >= 42370 && sample.DT < 46753))   // 2016-01-01 to 2028-01-01
                __builtin_trap();
        }
    } catch (const std::runtime_error &) {
    }
    return 0;
}
