// One reply of the memory dump, at any address.

#include "FuzzInput.h"
#include "protocol/MemoryRows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    TFuzzInput input(Data, Size);
    std::int32_t address = input.Take<std::int32_t>();
    const std::int32_t start = address;
    const QStringList lines = MemoryRowLines(input.Rest(), address, 65, TLocaleFormats{});
    if (lines.size() > 4 || static_cast<std::uint32_t>(address) != static_cast<std::uint32_t>(start) + 64)
        __builtin_trap();
    return 0;
}
