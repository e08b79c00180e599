#pragma once

// The exchanges with the heater that the window and the command-line tool share: finding it,
// reading its status, sending a command and downloading its stored history.

#include "core/Bytes.h"
#include "core/LocaleFormats.h"
#include "hid/FHid.h"
#include "protocol/HistoryRecord.h"
#include "protocol/StatusReport.h"

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

struct THistoryTransferEvents {
    std::function<void()> Yield;                       // after each request written
    std::function<bool()> Cancelled;                   // asked before each request
    std::function<void(int Percent)> Progress;         // before each block is handled
    std::function<void(const THistoryBlock &)> Block;  // each block in the order it came
};
// Requests up to RequestCount blocks of a history transfer already started on the open device;
// CommandAnswered tells whether the command that started it got its reply within its own wait
// (when not, that reply is read first and never taken for a block). It ends early once the
// heater has been silent for 1000 reads in a row and for a second, after more than three records
// with a bad checksum, or when cancelled; the replies to requests already written are read
// before it returns. Returns the number of blocks that came.
int TransferHistory(TFHid &Hid, int RequestCount, bool CommandAnswered, float MaxStringPower,
                    const TLocaleFormats &Formats, const THistoryTransferEvents &Events);
