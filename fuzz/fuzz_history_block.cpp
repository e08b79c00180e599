// One reply of the history download: any length, any bytes.

#include "FuzzInput.h"
#include "protocol/HistoryRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    TFuzzInput input(Data, Size);
    const int res = input.Take<std::int32_t>();
    const THistoryBlock block = DecodeHistoryBlock(input.Rest(), res, 500, TLocaleFormats{});
    if (block.LogLines.size() > HistoryRecordsPerBlock || block.Samples.size() > HistoryRecordsPerBlock)
        __builtin_trap();
    for (const THistoryData &sample : block.Samples) {
        if (sample.P1 < 0 || sample.P1 > 500 || !KeptHistorySample(sample))
            __builtin_trap();
    }
    return 0;
}
