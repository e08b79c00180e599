#include "cli/MqttBridge.h"

#include "cli/BridgeCommands.h"
#include "cli/StatusJson.h"
#include "settings/SettingValues.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

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
      FPublication(std::chrono::milliseconds(FOptions.PublishIntervalMs))
{
    FTimer.setInterval(FOptions.PollIntervalMs);
    QObject::connect(&FTimer, &QTimer::timeout, &FContext, [this] { Poll(); });
}

TMqttBridge::~TMqttBridge() = default;

void TMqttBridge::Start()
{
    Poll();
    FTimer.start();
}

// A report whose serial number is not trusted yet is no reading of a heater: the one in use is
// offline until its reports are whole again.
void TMqttBridge::Poll()
{
    FArchive.Retry();
    const THeaterPoll poll = FMonitor.Poll();
    Say(PresenceMessage(poll));
    std::optional<std::int32_t> serial;
    if (poll.Reading)
        serial = FSerials.Report(poll.Reading->SN);
    else
        FSerials.Missed();
    if (serial) {
        const QString serialId = SerialNumberId(*serial);
        if (!FClient || serialId != FHeater.SerialId)
            UseHeater(serialId, poll.Device.SerialNumber);
        FDevice = poll.Device;
        const std::optional<QByteArray> state = FPublication.Next(*poll.Reading, TStatePublication::TClock::now());
        if (!FOnline) {
            FOnline = true;
            PublishAvailability();
        }
        if (state)
            PublishState(*state);
        FHarvest.Step(poll.Device, *serial);
        return;
    }
    FDevice.reset();
    if (poll.Presence != THeaterPresence::Answering)
        FHarvest.Lost();
    if (FOnline) {
        FOnline = false;
        PublishAvailability();
    }
}

void TMqttBridge::Stop()
{
    FTimer.stop();
    FOnline = false;
    PublishAvailability();
    FClient.reset();
    FConnected = false;
}

// A heater with another serial number has topics of its own: the one before is marked offline
// and the connection is made anew, with the new heater's will.
void TMqttBridge::UseHeater(const QString &SerialId, const QString &Firmware)
{
    if (FClient) {
        FOnline = false;
        PublishAvailability();
        FClient.reset();
        FConnected = false;
    }
    FHeater = {SerialId, Firmware};
    FTopics = BridgeTopics(FOptions.Prefix, SerialId);
    FPublication.Reset();
    const int number = ++FClientNumber;
    FClient = std::make_unique<TMqttClient>(
        FOptions.Broker, FOptions.Login, FOptions.Tls,
        QStringLiteral("helvane-%1-%2").arg(SerialId).arg(QCoreApplication::applicationPid()),
        TMqttMessage{FTopics.Availability, Offline}, &FContext,
        [this, number](bool Connected, const QString &Reason) {
            if (number == FClientNumber)
                ConnectionChanged(Connected, Reason);
        },
        [this, number](const TMqttMessage &Message) {
            if (number == FClientNumber)
                MessageArrived(Message);
        });
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
    PublishDiscovery();
    PublishAvailability();
    if (FPublication.Latest())
        PublishState(*FPublication.Latest());
    if (!FOptions.ReadOnly) {
        FClient->Subscribe(FTopics.Commands + QLatin1Char('+'));
        FClient->Subscribe(DiscoveryStatusTopic());
    }
}

// Home Assistant says "online" on its status topic whenever it starts: it may have lost the
// configurations (or its user deleted the device), so they go out again.
void TMqttBridge::MessageArrived(const TMqttMessage &Message)
{
    if (Message.Topic == DiscoveryStatusTopic()) {
        if (Message.Payload == Online)
            PublishDiscovery();
        return;
    }
    if (Message.Topic.startsWith(FTopics.Commands))
        Execute(Message.Topic.mid(FTopics.Commands.size()), Message.Payload);
}

// The message arrives between polls: the exchange with the heater is the only one.
void TMqttBridge::Execute(const QString &Name, const QByteArray &Payload)
{
    try {
        const TBridgeCommand command = ParseBridgeCommand(Name, Payload, QDateTime::currentDateTime());
        if (!FDevice)
            throw EBridgeCommand("no heater answers");
        try {
            THeaterLink(FHid, *FDevice).Send(command.Command, command.Value);
        } catch (const std::exception &Error) {
            Say(QStringLiteral("The %1 command did not reach the heater: %2").arg(Name, QString::fromUtf8(Error.what())));
            return;
        }
        Say(command.Done);
        Say(command.Caution);
        FPublication.Hurry();
    } catch (const EBridgeCommand &Error) {
        Say(QStringLiteral("ignored %1 command '%2': %3").arg(Name, ShownPayload(Payload), QString::fromUtf8(Error.what())));
    }
}

void TMqttBridge::PublishDiscovery()
{
    const TDiscoveryOptions options{FOptions.DiscoveryPrefix, FOptions.ReadOnly, FPublication.ExpireAfter()};
    for (const TMqttMessage &message : DiscoveryMessages(FTopics, FHeater, options))
        FClient->Publish(message, 1);
}

void TMqttBridge::PublishAvailability()
{
    if (FConnected)
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
