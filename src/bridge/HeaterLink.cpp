#include "bridge/HeaterLink.h"

#include "bridge/StatusJson.h"
#include "i18n/Language.h"
#include "protocol/Commands.h"
#include "protocol/Encodings.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include <algorithm>

namespace {

QString English(const char *Key)
{
    return TranslateText(TLanguage::English, QString::fromLatin1(Key));
}

void LetEventsThrough()
{
    QCoreApplication::processEvents();
}

}

QString NoHeaterMessage(bool Refused)
{
    if (!Refused)
        return English("sMsgNoHeater");
    return English("sMsgHeaterRefused")
           + QStringLiteral("\nhelvane installs it in lib/udev/rules.d below its prefix (the package: /usr/lib/udev/rules.d); "
                            "once it is there, unplug the heater and plug it in again. A service that is no user at the "
                            "seat reaches the heater as a member of the group plugdev.");
}

QString SilentHeaterMessage(const QString &Detail)
{
    return QStringLiteral("The heater stopped answering (%1): unplug it and plug it in again.").arg(Detail);
}

void THistoryTally::Add(const THistoryBlock &Block)
{
    ++Blocks;
    BadRecords += Block.BadRecords;
    // Every record the block held in full has a log line; those with a good checksum and no
    // sample were too old.
    OldRecords += static_cast<int>(Block.LogLines.size() - Block.BadRecords - static_cast<qsizetype>(Block.Samples.size()));
}

QString NoSamplesMessage(const THistoryTally &Tally)
{
    if (Tally.BadRecords == 0 && Tally.OldRecords == 0)
        return Tally.Blocks == 0 ? QStringLiteral("no valid samples: the heater sent no stored history")
                                 : QStringLiteral("no valid samples: the heater's replies held no whole record");
    const auto records = [](int Count) { return Count == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(Count); };
    QStringList reasons;
    if (Tally.BadRecords > 0)
        reasons << records(Tally.BadRecords) + QStringLiteral(" with a bad checksum");
    if (Tally.OldRecords > 0)
        reasons << records(Tally.OldRecords) + QStringLiteral(" dated before 2016 (empty)");
    return QStringLiteral("no valid samples: ") + reasons.join(QStringLiteral(", "));
}

QString UnpluggedHeaterMessage(const QString &Detail)
{
    return QStringLiteral("The heater was unplugged during the exchange (%1).").arg(Detail);
}

QString ShortCommandMessage(int Written)
{
    return QStringLiteral("The heater took only %1 of the command's %2 bytes: it was not set.").arg(Written).arg(OutputReportSize);
}

THeaterLink::THeaterLink(TFHid &Hid) : FHid(Hid), FYield(LetEventsThrough)
{
    const THeaterSearch search = FindHeater(Hid);
    if (!search.Heater)
        throw std::runtime_error(NoHeaterMessage(search.Refused).toStdString());
    FDevice = *search.Heater;
}

THeaterLink::THeaterLink(TFHid &Hid, TFHidDevice Device) : FHid(Hid), FDevice(std::move(Device)) {}

template <class F>
auto THeaterLink::Exchange(F &&Work)
{
    try {
        FHid.Open(FDevice.DevicePath);
        const auto close = qScopeGuard([this] { FHid.Close(); });
        return Work();
    } catch (const std::exception &Error) {
        const QString detail = QString::fromUtf8(Error.what());
        // A heater pulled out makes the exchange fail as a silent one does; telling the user to
        // replug it would be wrong then.
        if (!StillPlugged())
            throw std::runtime_error(UnpluggedHeaterMessage(detail).toStdString());
        throw std::runtime_error(SilentHeaterMessage(detail).toStdString());
    }
}

bool THeaterLink::StillPlugged()
{
    return std::ranges::any_of(FHid.Enumerate(0, 0), [this](const TFHidDevice &Device) {
        return Device.DevicePath == FDevice.DevicePath;
    });
}

TCurrentData THeaterLink::ReadStatus()
{
    return Exchange([this] { return ReadCurrentData(FHid, CliMaxStringPower); });
}

TCommandExchange THeaterLink::Send(std::uint8_t Command, std::int32_t Value)
{
    TCommandExchange exchange = Exchange([&] { return ExchangeCommand(FHid, Command, Value, FYield); });
    if (exchange.Written < OutputReportSize)
        throw std::runtime_error(ShortCommandMessage(exchange.Written).toStdString());
    return exchange;
}

int THeaterLink::DownloadPage(bool Restart, int Blocks, THistoryList &History, THistoryTally &Tally,
                              const std::function<void(int Percent)> &Progress, const std::function<bool()> &Cancelled)
{
    return Exchange([&] {
        const bool answered = !ExchangeCommand(FHid, cmdHistory, Restart ? 0 : 1, FYield).Reply.empty();
        return TransferHistory(FHid, Blocks, answered, FPace, CliMaxStringPower, TLocaleFormats(),
                               {.Yield = FYield,
                                .Cancelled = Cancelled,
                                .Progress = Progress,
                                .Block = [&History, &Tally](const THistoryBlock &Block) {
                                    Tally.Add(Block);
                                    for (const THistoryData &sample : Block.Samples)
                                        History.Add(sample);
                                }});
    });
}

THeaterPoll THeaterMonitor::Poll()
{
    THeaterPoll poll;
    if (!FDevice) {
        const THeaterSearch search = FindHeater(FHid);
        if (!search.Heater) {
            poll.Presence = search.Refused ? THeaterPresence::Refused : THeaterPresence::Absent;
            return Settle(poll);
        }
        FDevice = search.Heater;
    }
    try {
        FHid.Open(FDevice->DevicePath);
        const auto close = qScopeGuard([this] { FHid.Close(); });
        poll.Reading = ReadCurrentData(FHid, CliMaxStringPower);
        poll.Presence = THeaterPresence::Answering;
        poll.Device = *FDevice;
    } catch (const std::exception &Error) {
        const TFHidDevices devices = FHid.Enumerate(0, 0);
        const bool present = std::ranges::any_of(devices, [this](const TFHidDevice &Device) {
            return Device.DevicePath == FDevice->DevicePath;
        });
        if (present) {
            poll.Presence = THeaterPresence::Silent;
            poll.Device = *FDevice;
            poll.Detail = QString::fromUtf8(Error.what());
        } else {
            FDevice.reset();
        }
    }
    return Settle(poll);
}

THeaterPoll THeaterMonitor::Settle(THeaterPoll Poll)
{
    Poll.Changed = Poll.Presence != FPresence || Poll.Device.DevicePath != FPath;
    FPresence = Poll.Presence;
    FPath = Poll.Device.DevicePath;
    return Poll;
}

QString PresenceMessage(const THeaterPoll &Poll)
{
    if (!Poll.Changed)
        return {};
    switch (Poll.Presence) {
    case THeaterPresence::Absent:
        return NoHeaterMessage(false) + QStringLiteral(" Waiting for it.");
    case THeaterPresence::Refused:
        return NoHeaterMessage(true);
    case THeaterPresence::Answering:
        return QStringLiteral("Heater %1 answers (firmware %2).")
            .arg(Poll.Reading ? SerialNumberId(Poll.Reading->SN) : QString(), Poll.Device.SerialNumber);
    case THeaterPresence::Silent:
        return SilentHeaterMessage(Poll.Detail);
    }
    return {};
}
