#pragma once

// What the MQTT bridge publishes for one heater: its topics, and the Home Assistant discovery
// configurations that make each value of the state a sensor of one device.

#include <QByteArray>
#include <QString>

#include <vector>

struct TBridgeTopics {
    QString State;          // <prefix>/<serial>/state, the status as JSON, retained
    QString Availability;   // <prefix>/<serial>/availability, "online" or "offline", retained
};
TBridgeTopics BridgeTopics(const QString &Prefix, const QString &SerialId);

struct TMqttMessage {
    QString Topic;
    QByteArray Payload;
};

struct TDiscoveredHeater {
    QString SerialId;   // "YYWW-NNNN"
    QString Firmware;   // the USB serial string, which carries the firmware version
};
// One retained configuration per value under homeassistant/sensor/helvane_<serial>/<key>/config.
// The energy of the day is total_increasing: Home Assistant takes its fall at midnight as the
// start of a new cycle.
std::vector<TMqttMessage> DiscoveryMessages(const TBridgeTopics &Topics, const TDiscoveredHeater &Heater);
