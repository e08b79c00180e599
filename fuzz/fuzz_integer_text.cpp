// The integer text of the development edits: whatever a user types.

#include "core/IntegerText.h"

#include <QString>

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(Data), static_cast<qsizetype>(Size));
    const std::optional<std::int32_t> value = ParseInteger(text);
    try {
        if (StrToInt(text) != value.value())
            __builtin_trap();
    } catch (const std::invalid_argument &) {
        if (value)
            __builtin_trap();
    }
    if (StrToIntDef(text, 7) != value.value_or(7))
        __builtin_trap();
    return 0;
}
