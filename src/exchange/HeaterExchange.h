#pragma once

// The exchanges with the heater that the window and the command-line tool share: finding it,
// reading its status, sending a command and downloading its stored history.

#include "core/Bytes.h"
#include "core/LocaleFormats.h"
#include "exchange/Silence.h"
#include "hid/FHid.h"
#include "protocol/HistoryRecord.h"
#include "protocol/StatusReport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

struct THeaterSearch {
    std::optional<TFHidDevice> Heater;   // the first heater this user may open
    bool Refused = false;                // a heater is there that this user may not open
};
THeaterSearch FindHeater(TFHid &Hid);

// One status reading from the open device.
TCurrentData ReadCurrentData(TFHid &Hid, float MaxStringPower);

struct TCommandExchange {
    int Written = 0;
    TBytes Reply;   // what the heater answered within 2 ms; empty when nothing came
};
// Writes the command report on the open device and gives the heater 2 ms to answer; Yield runs
// between the two (the window lets its events through there).
TCommandExchange ExchangeCommand(TFHid &Hid, std::uint8_t Command, std::int32_t Value,
                                 const std::function<void()> &Yield);

// What the heater showed of its pace since it was connected; read-outs learn it and end the
// sooner for it.
struct THeaterPace {
    std::optional<bool> AnswersCommands;                         // whether it answers a command at all
    std::optional<std::chrono::steady_clock::duration> Latency;  // the longest wait for a reply seen
};

// The events of a run of block requests.
struct TBlockEvents {
    std::function<void()> Yield;       // after each request written, and between waits for a reply
    std::function<bool()> Cancelled;   // asked before each request and each wait
};

// Writes block requests on the open device and hands each reply with the number the request's
// write returned to Take, until Wanted replies came, Take returned false, the heater fell silent
// or the run was cancelled; then reads the replies still on their way, so that the heater's count
// of delivered blocks matches what was read. Returns the replies taken.
int RequestBlocks(TFHid &Hid, int Wanted, TSilenceWatch &Silence, const TBlockEvents &Events,
                  const std::function<bool(const TBytes &Reply, int Res)> &Take);

struct THistoryTransferEvents {
    std::function<void()> Yield;                       // after each request written
    std::function<bool()> Cancelled;                   // asked before each request
    std::function<void(int Percent)> Progress;         // before each block is handled
    std::function<void(const THistoryBlock &)> Block;  // each block in the order it came
};
// Requests up to RequestCount blocks of a history transfer already started on the open device;
// CommandAnswered tells whether the command that started it got its reply within its own wait
// (when not, that reply is awaited first and never taken for a block, unless the heater is known
// to answer no command). It ends early once the heater has been silent for 1000 reads in a row
// and for as long as its pace calls for, after more than three records with a bad checksum, or
// when cancelled. Pace is what the heater showed before, and learns what it shows here.
// Returns the number of blocks that came.
int TransferHistory(TFHid &Hid, int RequestCount, bool CommandAnswered, THeaterPace &Pace, float MaxStringPower,
                    const TLocaleFormats &Formats, const THistoryTransferEvents &Events);
