#pragma once

// What the MQTT bridge publishes for one heater: its topics, and the Home Assistant discovery
// configurations that make each value of the state an entity of one device, and each command a
// control.

#include <QByteArray>
#include <QString>

#include <chrono>
#include <vector>

struct TBridgeTopics {
    QString State;          // <prefix>/<serial>/state, the status as JSON, retained
    QString Availability;   // <prefix>/<serial>/availability: the heater "online" or "offline", retained
    QString Commands;       // <prefix>/<serial>/set/, followed by a command's name
    QString Diagnostics;    // <prefix>/<serial>/diagnostics, the bridge's view of the heater as JSON, retained
    QString Bridge;         // the bridge's own availability, its last will
};
TBridgeTopics BridgeTopics(const QString &Prefix, const QString &SerialId, const QString &BridgeAvailability);

// <prefix>/bridge/<host>/availability: "online" while the bridge runs, whatever the heater does.
QString BridgeAvailabilityTopic(const QString &Prefix, const QString &Host);

struct TMqttMessage {
    QString Topic;
    QByteArray Payload;
    bool Retained = false;   // as its publisher sent it, kept by the broker
};

struct TDiscoveredHeater {
    QString SerialId;   // "YYWW-NNNN"
    QString Firmware;   // the USB serial string, which carries the firmware version
};

struct TDiscoveryOptions {
    QString Prefix = QStringLiteral("homeassistant");
    bool ReadOnly = false;             // no controls: their configurations are removed
    std::chrono::seconds ExpireAfter{180};   // a sensor without a new state for this long is unavailable
};

// One retained configuration per entity under <discovery prefix>/<component>/helvane_<serial>/<key>/config.
// The energy of the day is total_increasing: Home Assistant takes its fall at midnight as the
// start of a new cycle.
std::vector<TMqttMessage> DiscoveryMessages(const TBridgeTopics &Topics, const TDiscoveredHeater &Heater,
                                            const TDiscoveryOptions &Options);
