#include "cli/MqttBridge.h"

#include "cli/StatusJson.h"
#include "settings/SettingValues.h"

#include <QCoreApplication>
#include <QJsonDocument>

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
    : FOptions(std::move(Options)), FMonitor(Hid), FLog(Log)
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
        FState = QJsonDocument(StatusJson(*poll.Reading)).toJson(QJsonDocument::Compact);
        if (!FOnline) {
            FOnline = true;
            PublishAvailability();
        }
        PublishState();
    } else if (FOnline) {
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
    const int number = ++FClientNumber;
    FClient = std::make_unique<TMqttClient>(
        FOptions.Broker, FOptions.Login, FOptions.Tls,
        QStringLiteral("helvane-%1-%2").arg(SerialId).arg(QCoreApplication::applicationPid()),
        TMqttMessage{FTopics.Availability, Offline}, &FContext,
        [this, number](bool Connected, const QString &Reason) {
            if (number == FClientNumber)
                ConnectionChanged(Connected, Reason);
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
    for (const TMqttMessage &message : DiscoveryMessages(FTopics, FHeater))
        FClient->Publish(message, 1);
    PublishAvailability();
    PublishState();
}

void TMqttBridge::PublishAvailability()
{
    if (FConnected)
        FClient->Publish({FTopics.Availability, FOnline ? Online : Offline}, 1);
}

// QoS 0: a state that cannot go now is not sent later; the next poll's is.
void TMqttBridge::PublishState()
{
    if (FConnected && FState)
        FClient->Publish({FTopics.State, *FState}, 0);
}

void TMqttBridge::Say(const QString &Message)
{
    if (!Message.isEmpty())
        FLog << Message << Qt::endl;
}
