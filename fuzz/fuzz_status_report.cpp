// The status feature report as the heater, or anything posing as it, sends it.

#include "protocol/StatusReport.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    const TBytes report(Data, Data + Size);
    try {
        const TCurrentData s = DecodeCurrentData(StatusPayload(report), 700);
        if (s.Sample.P1 < 0 || s.Sample.P1 > 700)
            __builtin_trap();
    } catch (const std::runtime_error &) {
        // A report too short is refused with a message; nothing else may happen.
    }
    return 0;
}
