#include "cli/Discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace {

struct TSensor {
    const char *Key;           // the key in the state's JSON
    const char *Name;
    const char *DeviceClass;   // empty: none
    const char *Unit;          // empty: none
    const char *StateClass;    // empty: none
    bool Diagnostic;           // shown among the device's diagnostics rather than its readings
};

constexpr std::array<TSensor, 21> Sensors{{
    {"string1_power_w", "String 1 power", "power", "W", "measurement", false},
    {"string2_power_w", "String 2 power", "power", "W", "measurement", false},
    {"string3_power_w", "String 3 power", "power", "W", "measurement", false},
    {"string1_voltage_v", "String 1 voltage", "voltage", "V", "measurement", false},
    {"string2_voltage_v", "String 2 voltage", "voltage", "V", "measurement", false},
    {"string3_voltage_v", "String 3 voltage", "voltage", "V", "measurement", false},
    {"string1_current_a", "String 1 current", "current", "A", "measurement", false},
    {"string2_current_a", "String 2 current", "current", "A", "measurement", false},
    {"string3_current_a", "String 3 current", "current", "A", "measurement", false},
    {"string1_pwm_permille", "String 1 PWM", "", "‰", "measurement", true},
    {"string2_pwm_permille", "String 2 PWM", "", "‰", "measurement", true},
    {"string3_pwm_permille", "String 3 PWM", "", "‰", "measurement", true},
    {"water_temp_c", "Water temperature", "temperature", "°C", "measurement", false},
    {"water_temp_control_c", "Water control temperature", "temperature", "°C", "measurement", true},
    {"board_temp_c", "Board temperature", "temperature", "°C", "measurement", true},
    {"setpoint_c", "Water setpoint", "temperature", "°C", "", false},
    {"energy_today_wh", "Energy today", "energy", "Wh", "total_increasing", false},
    {"isolation_v", "Isolation check voltage", "voltage", "V", "measurement", true},
    {"status_code", "Status code", "", "", "", true},
    {"status_text", "Status", "", "", "", false},
    {"serial_number", "Serial number", "", "", "", true},
}};

QJsonObject Device(const TDiscoveredHeater &Heater)
{
    return {
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("helvane_") + Heater.SerialId}},
        {QStringLiteral("name"), QStringLiteral("Helvane heater ") + Heater.SerialId},
        {QStringLiteral("manufacturer"), QStringLiteral("Helvane")},
        {QStringLiteral("model"), QStringLiteral("PV water heater")},
        {QStringLiteral("serial_number"), Heater.SerialId},
        {QStringLiteral("sw_version"), Heater.Firmware},
    };
}

QJsonObject SensorConfig(const TSensor &Sensor, const TBridgeTopics &Topics, const TDiscoveredHeater &Heater)
{
    const QString key = QString::fromUtf8(Sensor.Key);
    QJsonObject config{
        {QStringLiteral("name"), QString::fromUtf8(Sensor.Name)},
        {QStringLiteral("unique_id"), QStringLiteral("helvane_%1_%2").arg(Heater.SerialId, key)},
        {QStringLiteral("state_topic"), Topics.State},
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(key)},
        {QStringLiteral("availability_topic"), Topics.Availability},
        {QStringLiteral("device"), Device(Heater)},
    };
    const auto insertWhenSet = [&config](const char *Name, const char *Value) {
        if (*Value)
            config.insert(QString::fromUtf8(Name), QString::fromUtf8(Value));
    };
    insertWhenSet("device_class", Sensor.DeviceClass);
    insertWhenSet("unit_of_measurement", Sensor.Unit);
    insertWhenSet("state_class", Sensor.StateClass);
    if (Sensor.Diagnostic)
        config.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
    return config;
}

}

TBridgeTopics BridgeTopics(const QString &Prefix, const QString &SerialId)
{
    const QString base = Prefix + QLatin1Char('/') + SerialId + QLatin1Char('/');
    return {base + QStringLiteral("state"), base + QStringLiteral("availability")};
}

std::vector<TMqttMessage> DiscoveryMessages(const TBridgeTopics &Topics, const TDiscoveredHeater &Heater)
{
    std::vector<TMqttMessage> messages;
    for (const TSensor &sensor : Sensors) {
        messages.push_back({QStringLiteral("homeassistant/sensor/helvane_%1/%2/config").arg(Heater.SerialId, QString::fromUtf8(sensor.Key)),
                            QJsonDocument(SensorConfig(sensor, Topics, Heater)).toJson(QJsonDocument::Compact)});
    }
    return messages;
}
