#include "exchange/HeaterExchange.h"

#include "hid/DeviceAccess.h"
#include "hid/DeviceIdentity.h"
#include "protocol/Encodings.h"

namespace {

// How long a command's reply is waited for.
constexpr int ReplyTimeoutMs = 2;
constexpr int MaxEmptyReads = 1000;
constexpr int MaxBadRecords = 3;
// How long a reply to a request already written is waited for once the transfer has ended.
constexpr int DrainWaitMs = 50;

void Call(const std::function<void()> &Handler)
{
    if (Handler)
        Handler();
}

}

THeaterSearch FindHeater(TFHid &Hid)
{
    THeaterSearch search;
    for (const TFHidDevice &device : Hid.Enumerate(0, 0)) {
        if (!IsHeater(device))
            continue;
        if (DeviceAccessDenied(device.DevicePath)) {
            search.Refused = true;
        } else if (!search.Heater) {
            search.Heater = device;
        }
    }
    return search;
}

TCurrentData ReadCurrentData(TFHid &Hid, float MaxStringPower)
{
    return DecodeCurrentData(StatusPayload(Hid.GetFeatureReport(0)), MaxStringPower);
}

TCommandExchange ExchangeCommand(TFHid &Hid, std::uint8_t Command, std::int32_t Value,
                                 const std::function<void()> &Yield)
{
    TCommandExchange exchange;
    exchange.Written = Hid.Write(CommandReport(Command, Value));
    Hid.SetBlockingMode(false);
    Call(Yield);
    exchange.Reply = Hid.Read(ReplyTimeoutMs);
    return exchange;
}

int TransferHistory(TFHid &Hid, int RequestCount, float MaxStringPower, const TLocaleFormats &Formats,
                    const THistoryTransferEvents &Events)
{
    Hid.SetBlockingMode(false);
    int received = 0;
    int badRecords = 0;
    int emptyReads = 0;
    int unanswered = 0;
    int res = 0;
    const auto keep = [&](const TBytes &Reply) {
        ++received;
        const THistoryBlock block = DecodeHistoryBlock(Reply, res, MaxStringPower, Formats);
        if (Events.Block)
            Events.Block(block);
        return block.BadRecords;
    };
    while (received < RequestCount && emptyReads < MaxEmptyReads && badRecords <= MaxBadRecords
           && !(Events.Cancelled && Events.Cancelled())) {
        res = Hid.Write(BlockRequest());
        ++unanswered;
        Call(Events.Yield);
        const TBytes reply = Hid.Read();
        if (reply.empty()) {
            ++emptyReads;
            continue;
        }
        --unanswered;
        emptyReads = 0;
        if (Events.Progress)
            Events.Progress(static_cast<int>(received * 100LL / RequestCount));
        badRecords += keep(reply);
    }
    // Every empty read wrote another request, and the heater counts each block it answers with
    // as delivered: the replies still on their way are read before the device closes, or the
    // next transfer would begin after blocks that never arrived.
    for (; unanswered > 0; --unanswered) {
        const TBytes reply = Hid.Read(DrainWaitMs);
        if (reply.empty())
            break;
        keep(reply);
    }
    return received;
}
