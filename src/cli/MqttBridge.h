#pragma once

// The bridge between the heater and an MQTT broker: polls the heater and publishes, per heater
// serial number, its state as retained JSON, its availability with a last will, and the Home
// Assistant discovery configurations. It keeps polling while the broker is away and publishes
// only the latest state once the broker is back.

#include "cli/Discovery.h"
#include "cli/HeaterLink.h"
#include "cli/MqttClient.h"

#include <QObject>
#include <QTextStream>
#include <QTimer>

#include <cstdint>

#include <memory>
#include <optional>

// Which heater the status reports come from: a serial number is trusted once it is plausible and
// two reports in a row carry it, so that a garbled report never passes for a heater of its own.
class TSerialConfirmation {
public:
    // The serial number of this report, once trusted.
    std::optional<std::int32_t> Report(std::int32_t SN);
    // A poll that brought no report.
    void Missed() { FLast.reset(); }

private:
    std::optional<std::int32_t> FLast;
};

struct TBridgeOptions {
    TBrokerAddress Broker;
    TMqttLogin Login;
    TMqttTls Tls;
    QString Prefix = QStringLiteral("helvane");
    int PollIntervalMs = 1001;
};

class TMqttBridge {
public:
    // Messages for the user (the heater and the broker coming and going) go to Log.
    TMqttBridge(TBridgeOptions Options, TFHid &Hid, QTextStream &Log);
    ~TMqttBridge();

    // Polls now and then every PollIntervalMs.
    void Start();
    // One poll of the heater, and what it changes on the broker.
    void Poll();
    // Marks the heater offline and says goodbye to the broker.
    void Stop();

    bool BrokerConnected() const { return FConnected; }

private:
    void UseHeater(const QString &SerialId, const QString &Firmware);
    void ConnectionChanged(bool Connected, const QString &Reason);
    void PublishAvailability();
    void PublishState();
    void Say(const QString &Message);

    TBridgeOptions FOptions;
    THeaterMonitor FMonitor;
    QTextStream &FLog;
    QObject FContext;   // where the client's reports arrive; goes with the bridge
    QTimer FTimer;
    std::unique_ptr<TMqttClient> FClient;
    int FClientNumber = 0;   // tells the current client's reports from a replaced one's
    TDiscoveredHeater FHeater;
    TBridgeTopics FTopics;
    TSerialConfirmation FSerials;
    std::optional<QByteArray> FState;
    bool FOnline = false;
    bool FConnected = false;
    bool FBrokerMissed = false;   // the user has been told that the broker is not there
};
