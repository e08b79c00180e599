#pragma once

// The bridge between the heater and an MQTT broker: polls the heater and publishes, per heater
// serial number, its state as retained JSON, its availability with a last will, and the Home
// Assistant discovery configurations. It keeps polling while the broker is away and publishes
// only the latest state once the broker is back. It takes commands from the broker's command
// topics and sends them to the heater between polls, at the pace TCommandPace keeps; a retained
// command is never executed. With an archive, it reads the heater's stored history into it
// between polls.

#include "bridge/BridgeDiagnostics.h"
#include "bridge/CommandPace.h"
#include "bridge/Discovery.h"
#include "bridge/HeaterLink.h"
#include "bridge/HistoryHarvest.h"
#include "bridge/MqttClient.h"
#include "bridge/StatePublication.h"
#include "bridge/ToolArchive.h"

#include <QLockFile>
#include <QObject>
#include <QSet>
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

// Where the bridge keeps its lock of each heater: the service's runtime folder
// (RUNTIME_DIRECTORY), else the user's (XDG_RUNTIME_DIR).
QString BridgeRuntimeFolder();

struct TBridgeOptions {
    TBrokerAddress Broker;
    TMqttLogin Login;
    TMqttTls Tls;
    QString Prefix = QStringLiteral("helvane");
    QString DiscoveryPrefix = QStringLiteral("homeassistant");
    bool ReadOnly = false;          // no command is taken, no topic subscribed
    int PollIntervalMs = 1001;
    int PublishIntervalMs = 10000;  // the least time between two states that differ in readings only
    QString ArchiveLocation;        // where the heater's stored history goes; none when empty
    QString LockFolder = BridgeRuntimeFolder();
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
    // Why the bridge ended the application's event loop with exit code 1; empty while it runs.
    const QString &Failure() const { return FFailure; }
    bool ReadingHistory() const { return FHarvest.Reading(); }
    // Stores what the archive kept back, once more: false when samples are left unstored.
    bool FinishArchive() { return FArchive.Finish(); }

private:
    void Connect();
    bool HeaterKnown() const { return !FHeater.SerialId.isEmpty(); }
    void AnnounceHeater();
    bool Lock(const QString &SerialId);
    void Fail(const QString &Message);
    void UseHeater(const QString &SerialId, const QString &Firmware);
    void ConnectionChanged(bool Connected, const QString &Reason);
    void MessageArrived(const TMqttMessage &Message);
    void IgnoreRetained(const QString &Topic);
    void Take(const QString &Name, const QByteArray &Payload);
    void SendDue();
    void Execute(const QString &Name, const TBridgeCommand &Command);
    void PublishDiscovery();
    QString DiscoveryStatusTopic() const { return FOptions.DiscoveryPrefix + QStringLiteral("/status"); }
    void PublishAvailability();
    QString ArchiveState() const;
    void PublishDiagnostics(bool Now);
    void PublishState(const QByteArray &State);
    void Say(const QString &Message);

    TBridgeOptions FOptions;
    TFHid &FHid;
    THeaterMonitor FMonitor;
    QTextStream &FLog;
    TToolArchive FArchive;
    THistoryHarvest FHarvest;
    QObject FContext;   // where the client's reports arrive; goes with the bridge
    QTimer FTimer;
    QTimer FPaceTimer;   // until the next waiting command is due
    std::unique_ptr<QLockFile> FLock;   // of the heater in use: one bridge per heater
    QString FFailure;
    std::unique_ptr<TMqttClient> FClient;
    int FClientNumber = 0;   // tells the current client's reports from a replaced one's
    TDiscoveredHeater FHeater;
    TBridgeTopics FTopics;
    TSerialConfirmation FSerials;
    std::optional<TFHidDevice> FDevice;   // the heater in use while its reports are trusted
    TStatePublication FPublication;
    QString FBridgeTopic;   // the bridge's own availability
    TBridgeDiagnostics FDiagnostics;
    QByteArray FPublishedDiagnostics;
    TBridgeClock::time_point FDiagnosticsAt;
    TCommandPace FPace;
    TRefusalLog FRefusals;
    QSet<QString> FRetainedTold;           // command topics whose retained message was logged
    std::optional<std::int32_t> FReportedSetpoint;   // as the heater's last reading gave it, unless written since
    bool FOnline = false;
    bool FConnected = false;
    bool FBrokerMissed = false;   // the user has been told that the broker is not there
};
