#include "exchange/HeaterExchange.h"

#include "exchange/Silence.h"
#include "hid/DeviceAccess.h"
#include "hid/DeviceIdentity.h"
#include "protocol/Encodings.h"

#include <algorithm>

namespace {

// How long a command's reply is waited for.
constexpr int ReplyTimeoutMs = 2;
constexpr int MaxBadRecords = 3;
// The slice of a longer wait after which events are let through and Cancel is looked at.
constexpr int WaitSliceMs = 10;

using TClock = TSilenceWatch::TClock;

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

namespace {

// The heater answers the command that started the transfer before it delivers a block: a reply
// that missed the command's own wait is read here, so that it is never taken for a block.
void AwaitCommandReply(TFHid &Hid, TSilenceWatch &Silence, const THistoryTransferEvents &Events)
{
    while (!Silence.Lasted(TClock::now()) && !(Events.Cancelled && Events.Cancelled())) {
        if (!Hid.Read(std::min(Silence.RemainingMs(TClock::now()), WaitSliceMs)).empty()) {
            Silence.Heard(TClock::now());
            return;
        }
        Call(Events.Yield);
    }
}

}

int TransferHistory(TFHid &Hid, int RequestCount, bool CommandAnswered, float MaxStringPower,
                    const TLocaleFormats &Formats, const THistoryTransferEvents &Events)
{
    Hid.SetBlockingMode(false);
    TSilenceWatch silence(TClock::now());
    if (!CommandAnswered)
        AwaitCommandReply(Hid, silence, Events);
    int received = 0;
    int badRecords = 0;
    int unanswered = 0;
    int res = 0;
    const auto keep = [&](const TBytes &Reply) {
        ++received;
        silence.Heard(TClock::now());
        const THistoryBlock block = DecodeHistoryBlock(Reply, res, MaxStringPower, Formats);
        if (Events.Block)
            Events.Block(block);
        return block.BadRecords;
    };
    while (received < RequestCount && !silence.Silent(TClock::now()) && badRecords <= MaxBadRecords
           && !(Events.Cancelled && Events.Cancelled())) {
        res = Hid.Write(BlockRequest());
        ++unanswered;
        Call(Events.Yield);
        const TBytes reply = Hid.Read(silence.ReadWaitMs(TClock::now()));
        if (reply.empty()) {
            silence.Missed();
            continue;
        }
        --unanswered;
        if (Events.Progress)
            Events.Progress(static_cast<int>(received * 100LL / RequestCount));
        badRecords += keep(reply);
    }
    // The heater counts each block it answers with as delivered, and every pass wrote a request:
    // the replies still on their way are read before the device closes, or the next transfer
    // would begin after blocks that never arrived. A heater silent for as long as a read-out's
    // end takes has none on its way.
    while (unanswered > 0 && !silence.Lasted(TClock::now())) {
        const TBytes reply = Hid.Read(silence.RemainingMs(TClock::now()));
        if (reply.empty())
            continue;
        --unanswered;
        keep(reply);
    }
    return received;
}
