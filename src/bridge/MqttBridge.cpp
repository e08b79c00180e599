#include "bridge/MqttBridge.h"

#include "bridge/BridgeCommands.h"
#include "bridge/StatusJson.h"
#include "protocol/Commands.h"
#include "settings/SettingValues.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>

namespace {

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

}

QString BridgeRuntimeFolder()
{
    const QString service = qEnvironmentVariable("RUNTIME_DIRECTORY");
    return service.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : service;
}

std::optional<std::int32_t> TSerialConfirmation::Report(std::int32_t SN)
{
    if (!PlausibleSerialNumber(SN)) {
        FLast.reset();
        return std::nullopt;
    }
    const bool repeated = FLast == SN;
    FLast = SN;
    return repeated ? std::optional(SN) : std::nullopt;
}

TMqttBridge::TMqttBridge(TBridgeOptions Options, TFHid &Hid, QTextStream &Log)
    : FOptions(std::move(Options)), FHid(Hid), FMonitor(Hid), FLog(Log), FArchive(FOptions.ArchiveLocation, Log),
      FHarvest(Hid, FArchive, std::max(1, FOptions.PollIntervalMs / 4), Log),
      FPublication(std::chrono::milliseconds(FOptions.PublishIntervalMs)),
      FBridgeTopic(BridgeAvailabilityTopic(FOptions.Prefix, QSysInfo::machineHostName()))
{
    FTimer.setInterval(FOptions.PollIntervalMs);
    QObject::connect(&FTimer, &QTimer::timeout, &FContext, [this] { Poll(); });
    FPaceTimer.setSingleShot(true);
    QObject::connect(&FPaceTimer, &QTimer::timeout, &FContext, [this] { SendDue(); });
}

TMqttBridge::~TMqttBridge() = default;

// The broker is connected to at once, heater or not, so that a wrong address, login or
// certificate shows before a heater is plugged in.
void TMqttBridge::Start()
{
    Connect();
    Poll();
    FTimer.start();
}

void TMqttBridge::Connect()
{
    const int number = ++FClientNumber;
    FClient = std::make_unique<TMqttClient>(
        FOptions.Broker, FOptions.Login, FOptions.Tls,
        QStringLiteral("helvane-%1-%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid()),
        TMqttMessage{FBridgeTopic, Offline}, &FContext,
        [this, number](bool Connected, const QString &Reason) {
            if (number == FClientNumber)
                ConnectionChanged(Connected, Reason);
        },
        [this, number](const TMqttMessage &Message) {
            if (number == FClientNumber)
                MessageArrived(Message);
        });
}

// A report whose serial number is not trusted yet is no reading of a heater: the one in use is
// offline until its reports are whole again.
void TMqttBridge::Poll()
{
    FArchive.Retry();
    const THeaterPoll poll = FMonitor.Poll();
    Say(PresenceMessage(poll));
    Say(FRefusals.Due(TBridgeClock::now()));
    std::optional<std::int32_t> serial;
    if (poll.Reading)
        serial = FSerials.Report(poll.Reading->SN);
    else
        FSerials.Missed();
    if (poll.Presence == THeaterPresence::Silent)
        ++FDiagnostics.FailedPolls;
    if (serial) {
        const QString serialId = SerialNumberId(*serial);
        if (serialId != FHeater.SerialId) {
            if (!Lock(serialId))
                return;
            UseHeater(serialId, poll.Device.SerialNumber);
        }
        FDevice = poll.Device;
        FReportedSetpoint = poll.Reading->Tsoll;
        const QDateTime now = QDateTime::currentDateTime();
        FDiagnostics.LastReading = now;
        FDiagnostics.ClockOffset = ClockOffsetSeconds(poll.Reading->Sample.DT, now);
        const std::optional<QByteArray> state = FPublication.Next(*poll.Reading, TStatePublication::TClock::now());
        if (!FOnline) {
            FOnline = true;
            PublishAvailability();
        }
        if (state)
            PublishState(*state);
        PublishDiagnostics(state.has_value() || poll.Changed);
        FHarvest.Step(poll.Device, *serial);
        return;
    }
    FDevice.reset();
    FReportedSetpoint.reset();
    if (poll.Presence != THeaterPresence::Answering)
        FHarvest.Lost();
    const bool wentAway = FOnline;
    if (FOnline) {
        FOnline = false;
        PublishAvailability();
    }
    PublishDiagnostics(wentAway);
}

// The state the archive is in, as the diagnostics show it.
QString TMqttBridge::ArchiveState() const
{
    return FArchive.State();
}

// With the state, when the heater comes or goes, and otherwise when something changed but not
// more often than the state may go out.
void TMqttBridge::PublishDiagnostics(bool Now)
{
    if (!FConnected || !HeaterKnown())
        return;
    FDiagnostics.Archive = ArchiveState();
    const QByteArray diagnostics = QJsonDocument(DiagnosticsJson(FDiagnostics)).toJson(QJsonDocument::Compact);
    const TBridgeClock::time_point now = TBridgeClock::now();
    const bool due = Now || (diagnostics != FPublishedDiagnostics
                             && now - FDiagnosticsAt >= std::chrono::milliseconds(FOptions.PublishIntervalMs));
    if (!due)
        return;
    FClient->Publish({FTopics.Diagnostics, diagnostics}, 0);
    FPublishedDiagnostics = diagnostics;
    FDiagnosticsAt = now;
}

void TMqttBridge::Stop()
{
    FTimer.stop();
    FOnline = false;
    PublishAvailability();
    if (FConnected)
        FClient->Publish({FBridgeTopic, Offline}, 1);
    ++FClientNumber;
    FClient.reset();
    FConnected = false;
    FLock.reset();
}

// Two bridges on one heater would both execute every command: the second one ends.
bool TMqttBridge::Lock(const QString &SerialId)
{
    const QString file = QDir(FOptions.LockFolder).filePath(QStringLiteral("helvane-%1.lock").arg(SerialId));
    auto lock = std::make_unique<QLockFile>(file);
    lock->setStaleLockTime(0);   // stale once its process is gone, never by its age alone
    if (lock->tryLock(0)) {
        FLock = std::move(lock);
        return true;
    }
    qint64 holder = 0;
    QString host;
    QString program;
    if (lock->error() == QLockFile::LockFailedError && lock->getLockInfo(&holder, &host, &program)) {
        Fail(QStringLiteral("Heater %1 is bridged already, by process %2 (%3; lock file %4).").arg(SerialId).arg(holder).arg(program, file));
    } else {
        Fail(QStringLiteral("Cannot make the lock file %1 of heater %2.").arg(file, SerialId));
    }
    return false;
}

void TMqttBridge::Fail(const QString &Message)
{
    FTimer.stop();
    FFailure = Message;
    QCoreApplication::exit(1);
}

// The heater that answers now. One with another serial number has topics of its own: the one
// before is marked offline.
void TMqttBridge::UseHeater(const QString &SerialId, const QString &Firmware)
{
    if (HeaterKnown()) {
        FOnline = false;
        PublishAvailability();
        if (FConnected && !FOptions.ReadOnly)
            FClient->Unsubscribe(FTopics.Commands + QLatin1Char('+'));
    }
    FOnline = true;
    FHeater = {SerialId, Firmware};
    FTopics = BridgeTopics(FOptions.Prefix, SerialId, FBridgeTopic);
    FPublication.Reset();
    FPace.Clear();
    if (FConnected)
        AnnounceHeater();
}

// The heater's discovery, availability and commands, at its first reading or a new connection.
void TMqttBridge::AnnounceHeater()
{
    PublishDiscovery();
    PublishAvailability();
    if (FPublication.Latest())
        PublishState(*FPublication.Latest());
    PublishDiagnostics(true);
    if (!FOptions.ReadOnly)
        FClient->Subscribe(FTopics.Commands + QLatin1Char('+'));
}

// Retained messages may be gone with a restarted broker: everything is published again.
void TMqttBridge::ConnectionChanged(bool Connected, const QString &Reason)
{
    const bool wasConnected = FConnected;
    FConnected = Connected;
    const QString broker = QStringLiteral("%1:%2").arg(FOptions.Broker.Host).arg(FOptions.Broker.Port);
    if (!Connected) {
        // Said once, not at every retry.
        if (wasConnected || !FBrokerMissed)
            Say(wasConnected ? QStringLiteral("The MQTT broker %1 went away (%2); reconnecting.").arg(broker, Reason)
                             : QStringLiteral("No connection to the MQTT broker %1 (%2); retrying.").arg(broker, Reason));
        FBrokerMissed = true;
        return;
    }
    if (wasConnected)
        return;
    FBrokerMissed = false;
    Say(QStringLiteral("Connected to the MQTT broker %1.").arg(broker));
    FClient->Publish({FBridgeTopic, Online}, 1);
    if (!FOptions.ReadOnly)
        FClient->Subscribe(DiscoveryStatusTopic());
    if (HeaterKnown())
        AnnounceHeater();
}

// Home Assistant says "online" on its status topic whenever it starts: it may have lost the
// configurations (or its user deleted the device), so they go out again.
void TMqttBridge::MessageArrived(const TMqttMessage &Message)
{
    if (Message.Topic == DiscoveryStatusTopic()) {
        if (Message.Payload == Online && HeaterKnown())
            PublishDiscovery();
        return;
    }
    if (!HeaterKnown() || !Message.Topic.startsWith(FTopics.Commands))
        return;
    if (Message.Retained)
        IgnoreRetained(Message.Topic);
    else
        Take(Message.Topic.mid(FTopics.Commands.size()), Message.Payload);
}

// Home Assistant never retains a command: a retained one is a mistake or an intruder's, and
// would override at each start and reconnection what was set at the heater since.
void TMqttBridge::IgnoreRetained(const QString &Topic)
{
    if (FRetainedTold.contains(Topic))
        return;
    FRetainedTold.insert(Topic);
    Say(QStringLiteral("ignored the retained message on %1: commands are never retained (an empty retained message "
                       "there removes it).").arg(Topic));
}

void TMqttBridge::Take(const QString &Name, const QByteArray &Payload)
{
    try {
        FPace.Offer(Name, ParseBridgeCommand(Name, Payload, QDateTime::currentDateTime()));
    } catch (const EBridgeCommand &Error) {
        Say(FRefusals.Refused(QStringLiteral("ignored %1 command '%2': %3").arg(Name, ShownPayload(Payload), QString::fromUtf8(Error.what())),
                              TBridgeClock::now()));
        return;
    }
    SendDue();
}

void TMqttBridge::SendDue()
{
    const TBridgeClock::time_point now = TBridgeClock::now();
    for (const auto &[name, command] : FPace.Due(now))
        Execute(name, command);
    if (const std::optional<TBridgeClock::time_point> next = FPace.NextDue())
        FPaceTimer.start(std::max(std::chrono::ceil<std::chrono::milliseconds>(*next - now), std::chrono::milliseconds(0)));
}

// Between polls: the exchange with the heater is the only one. A setpoint the heater already
// reports is not written again, so that its memory does not wear for nothing.
void TMqttBridge::Execute(const QString &Name, const TBridgeCommand &Command)
{
    if (!FDevice) {
        Say(QStringLiteral("The %1 command did not reach the heater: no heater answers.").arg(Name));
        return;
    }
    if (Command.Command == cmdSetpoint && FReportedSetpoint == Command.Value)
        return;
    try {
        THeaterLink(FHid, *FDevice).Send(Command.Command, Command.Value);
    } catch (const std::exception &Error) {
        Say(QStringLiteral("The %1 command did not reach the heater: %2").arg(Name, QString::fromUtf8(Error.what())));
        return;
    }
    if (Command.Command == cmdSetpoint)
        FReportedSetpoint.reset();
    Say(Command.Done);
    Say(Command.Caution);
    FPublication.Hurry();
}

void TMqttBridge::PublishDiscovery()
{
    const TDiscoveryOptions options{FOptions.DiscoveryPrefix, FOptions.ReadOnly, FPublication.ExpireAfter()};
    for (const TMqttMessage &message : DiscoveryMessages(FTopics, FHeater, options))
        FClient->Publish(message, 1);
}

void TMqttBridge::PublishAvailability()
{
    if (FConnected && HeaterKnown())
        FClient->Publish({FTopics.Availability, FOnline ? Online : Offline}, 1);
}

// QoS 0: a state that cannot go now is not sent later; the latest goes out on reconnection.
void TMqttBridge::PublishState(const QByteArray &State)
{
    if (FConnected)
        FClient->Publish({FTopics.State, State}, 0);
}

void TMqttBridge::Say(const QString &Message)
{
    if (!Message.isEmpty())
        FLog << Message << Qt::endl;
}
