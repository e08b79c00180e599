#pragma once

// The heater as the command-line tool meets it: found or not, opened or refused, answering or
// silent, each told in words a user can act on.

#include "exchange/HeaterExchange.h"
#include "history/HistoryData.h"

#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>

// The ceiling of a string's computed power: the tool reports as the technician mode does.
constexpr float CliMaxStringPower = 700;

// A page of the stored history, as the tool downloads it.
constexpr int BlocksPerPage = 500;
// Addresses are 24 bits wide, so a heater's memory holds at most 16 MiB of 16-byte records:
// 262,144 blocks, 525 pages. A heater that brings older samples still is not reading out its
// memory, and a download stops there.
constexpr int MaxHistoryPages = 525;

// Why no heater can be used: none found, or one this user may not open.
QString NoHeaterMessage(bool Refused);
// Why the heater in use gives no reading.
QString SilentHeaterMessage(const QString &Detail);
// Why an exchange broke off: the heater in use is no longer plugged in.
QString UnpluggedHeaterMessage(const QString &Detail);

// What the history's records were, so that a download without one sample to keep can say why.
struct THistoryTally {
    int Blocks = 0;
    int BadRecords = 0;   // a bad checksum: a garbled record, or erased flash (all 0xFF)
    int OldRecords = 0;   // dated before 2016: an empty record (all zero) among them
    void Add(const THistoryBlock &Block);
};
// "no valid samples: 12 records with a bad checksum", or that the heater sent none at all.
QString NoSamplesMessage(const THistoryTally &Tally);

// Why a command did not reach the heater whole.
QString ShortCommandMessage(int Written);

// The heater of a one-shot command: the first one found that this user may open. Each exchange
// opens the device and closes it again, as the window does.
class THeaterLink {
public:
    // Raises std::runtime_error with NoHeaterMessage when there is none to use. The application's
    // events are let through while the heater is awaited.
    explicit THeaterLink(TFHid &Hid);
    // The heater already found; no event is handled during an exchange, so that nothing else can
    // start one with the heater meanwhile.
    THeaterLink(TFHid &Hid, TFHidDevice Device);
    const TFHidDevice &Device() const { return FDevice; }

    // Raise std::runtime_error with SilentHeaterMessage when the heater does not answer, or with
    // UnpluggedHeaterMessage when it went away during the exchange.
    TCurrentData ReadStatus();
    // Raises std::runtime_error with ShortCommandMessage when the command went out short, too.
    TCommandExchange Send(std::uint8_t Command, std::int32_t Value);
    // One page of the stored history: a restart or a continuation, then up to Blocks blocks
    // added to History, and each block counted in Tally. Returns the number of blocks that came.
    // Cancelled is asked before each request.
    int DownloadPage(bool Restart, int Blocks, THistoryList &History, THistoryTally &Tally,
                     const std::function<void(int Percent)> &Progress, const std::function<bool()> &Cancelled = {});

private:
    template <class F>
    auto Exchange(F &&Work);
    bool StillPlugged();

    TFHid &FHid;
    TFHidDevice FDevice;
    std::function<void()> FYield;
    THeaterPace FPace;   // what the heater's read-outs showed of its pace
};

// Whether the heater in use answers; Absent and Refused while none is in use.
enum class THeaterPresence { Absent, Refused, Answering, Silent };

struct THeaterPoll {
    THeaterPresence Presence = THeaterPresence::Absent;
    bool Changed = false;                  // the presence or the heater differs from the last poll
    std::optional<TCurrentData> Reading;   // while Answering
    TFHidDevice Device;                    // the heater in use, while Answering or Silent
    QString Detail;                        // why it is Silent
};

// Follows the heater across polls: looks for one while none is in use, reads the status of the
// one in use, lets it go when it has been unplugged, and finds it again when it comes back.
class THeaterMonitor {
public:
    explicit THeaterMonitor(TFHid &Hid) : FHid(Hid) {}
    THeaterPoll Poll();

private:
    THeaterPoll Settle(THeaterPoll Poll);

    TFHid &FHid;
    std::optional<TFHidDevice> FDevice;
    std::optional<THeaterPresence> FPresence;
    QString FPath;
};

// What changed, in words for the user; empty when nothing did.
QString PresenceMessage(const THeaterPoll &Poll);
