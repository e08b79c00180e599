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

bool IsCancelled(const TBlockEvents &Events)
{
    return Events.Cancelled && Events.Cancelled();
}

// Waits for one reply, in slices between which events are let through and Cancel is looked at,
// until the silence has lasted. Returns the reply, or nothing.
TBytes AwaitReply(TFHid &Hid, TSilenceWatch &Silence, const TBlockEvents &Events)
{
    while (!Silence.Lasted(TClock::now()) && !IsCancelled(Events)) {
        TBytes reply = Hid.Read(std::min(Silence.RemainingMs(TClock::now()), WaitSliceMs));
        if (!reply.empty()) {
            Silence.Heard(TClock::now());
            return reply;
        }
        Call(Events.Yield);
    }
    return {};
}

// The heater answers the command that started the transfer before it delivers a block: a reply
// that missed the command's own wait is read here, so that it is never taken for a block. A
// heater that answered no command before is not waited for again.
void AwaitCommandReply(TFHid &Hid, bool CommandAnswered, TSilenceWatch &Silence, THeaterPace &Pace,
                       const TBlockEvents &Events)
{
    if (CommandAnswered) {
        Pace.AnswersCommands = true;
        return;
    }
    if (Pace.AnswersCommands == false)
        return;
    if (!AwaitReply(Hid, Silence, Events).empty())
        Pace.AnswersCommands = true;
    else if (!IsCancelled(Events))
        Pace.AnswersCommands = false;
}

}

int RequestBlocks(TFHid &Hid, int Wanted, TSilenceWatch &Silence, const TBlockEvents &Events,
                  const std::function<bool(const TBytes &Reply, int Res)> &Take)
{
    int received = 0;
    int unanswered = 0;
    int res = 0;
    bool goOn = true;
    while (goOn && received < Wanted && !Silence.Silent(TClock::now()) && !IsCancelled(Events)) {
        res = Hid.Write(BlockRequest());
        ++unanswered;
        Call(Events.Yield);
        const TBytes reply = Hid.Read(Silence.ReadWaitMs(TClock::now()));
        if (reply.empty()) {
            Silence.Missed();
            continue;
        }
        --unanswered;
        Silence.Heard(TClock::now());
        goOn = Take(reply, res);
        ++received;
    }
    // The heater counts each block it answers with as delivered, and every pass wrote a request:
    // the replies still on their way are read before the device closes, cancelled or not, or the
    // next transfer would begin after blocks that never arrived. A heater silent for as long as
    // its pace allows has none on its way; events go on meanwhile.
    const TBlockEvents owed{.Yield = Events.Yield, .Cancelled = {}};
    for (; unanswered > 0; --unanswered) {
        const TBytes reply = AwaitReply(Hid, Silence, owed);
        if (reply.empty())
            break;
        Take(reply, res);
    }
    return received;
}

int TransferHistory(TFHid &Hid, int RequestCount, bool CommandAnswered, THeaterPace &Pace, float MaxStringPower,
                    const TLocaleFormats &Formats, const THistoryTransferEvents &Events)
{
    Hid.SetBlockingMode(false);
    TSilenceWatch silence(TClock::now(), Pace.Latency);
    const TBlockEvents blockEvents{.Yield = Events.Yield, .Cancelled = Events.Cancelled};
    AwaitCommandReply(Hid, CommandAnswered, silence, Pace, blockEvents);
    int badRecords = 0;
    int received = 0;
    RequestBlocks(Hid, RequestCount, silence, blockEvents, [&](const TBytes &Reply, int Res) {
        if (Events.Progress && received < RequestCount)
            Events.Progress(static_cast<int>(received * 100LL / RequestCount));
        ++received;
        const THistoryBlock block = DecodeHistoryBlock(Reply, Res, MaxStringPower, Formats);
        if (Events.Block)
            Events.Block(block);
        badRecords += block.BadRecords;
        return badRecords <= MaxBadRecords;
    });
    Pace.Latency = silence.Latency();
    return received;
}
