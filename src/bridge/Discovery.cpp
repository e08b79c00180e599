#include "bridge/Discovery.h"

#include "Version.h"
#include "bridge/BridgeCommands.h"
#include "bridge/StatusJson.h"
#include "settings/SettingValues.h"

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
    int Precision;             // the decimals Home Assistant shows; -1: its own choice
};

constexpr std::array<TSensor, 23> Sensors{{
    {"pv_power_w", "PV power", "power", "W", "measurement", false, 0},
    {"string1_power_w", "String 1 power", "power", "W", "measurement", false, 0},
    {"string2_power_w", "String 2 power", "power", "W", "measurement", false, 0},
    {"string3_power_w", "String 3 power", "power", "W", "measurement", false, 0},
    {"string1_voltage_v", "String 1 voltage", "voltage", "V", "measurement", false, 1},
    {"string2_voltage_v", "String 2 voltage", "voltage", "V", "measurement", false, 1},
    {"string3_voltage_v", "String 3 voltage", "voltage", "V", "measurement", false, 1},
    {"string1_current_a", "String 1 current", "current", "A", "measurement", false, 2},
    {"string2_current_a", "String 2 current", "current", "A", "measurement", false, 2},
    {"string3_current_a", "String 3 current", "current", "A", "measurement", false, 2},
    {"string1_pwm_permille", "String 1 PWM", "", "‰", "measurement", true, 0},
    {"string2_pwm_permille", "String 2 PWM", "", "‰", "measurement", true, 0},
    {"string3_pwm_permille", "String 3 PWM", "", "‰", "measurement", true, 0},
    {"water_temp_c", "Water temperature", "temperature", "°C", "measurement", false, 1},
    {"water_temp_control_c", "Water control temperature", "temperature", "°C", "measurement", true, 1},
    {"board_temp_c", "Board temperature", "temperature", "°C", "measurement", true, 1},
    {"setpoint_c", "Water setpoint", "temperature", "°C", "", false, 0},
    {"energy_today_wh", "Energy today", "energy", "Wh", "total_increasing", false, 0},
    {"isolation_v", "Isolation check voltage", "voltage", "V", "measurement", true, 1},
    {"status_code", "Status code", "", "", "", true, -1},
    {"status_text", "Status", "enum", "", "", false, -1},
    {"serial_number", "Serial number", "", "", "", true, -1},
    {"clock", "Heater clock", "timestamp", "", "", true, -1},
}};

// The bridge's own view of the heater, on the diagnostics topic: shown while the bridge runs,
// also while the heater is away, and never expiring.
constexpr std::array<TSensor, 4> DiagnosticSensors{{
    {"last_reading", "Last reading", "timestamp", "", "", true, -1},
    {"failed_polls", "Failed polls", "", "", "total_increasing", true, 0},
    {"archive", "Archive", "", "", "", true, -1},
    {"clock_offset_s", "Heater clock offset", "duration", "s", "measurement", true, 0},
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

QJsonObject AvailabilityOf(const QString &Topic)
{
    return {{QStringLiteral("topic"), Topic}};
}

// What every entity of the heater carries: it is available while both the bridge and the heater are.
QJsonObject Entity(const QString &Key, const QString &Name, const TBridgeTopics &Topics, const TDiscoveredHeater &Heater)
{
    return {
        {QStringLiteral("name"), Name},
        {QStringLiteral("unique_id"), QStringLiteral("helvane_%1_%2").arg(Heater.SerialId, Key)},
        {QStringLiteral("availability"), QJsonArray{AvailabilityOf(Topics.Bridge), AvailabilityOf(Topics.Availability)}},
        {QStringLiteral("availability_mode"), QStringLiteral("all")},
        {QStringLiteral("device"), Device(Heater)},
        {QStringLiteral("origin"), QJsonObject{{QStringLiteral("name"), QStringLiteral("helvane")},
                                               {QStringLiteral("sw_version"), QStringLiteral(HELVANE_VERSION_TEXT)}}},
    };
}

QJsonObject SensorConfig(const TSensor &Sensor, const TBridgeTopics &Topics, const TDiscoveredHeater &Heater,
                         const TDiscoveryOptions &Options)
{
    const QString key = QString::fromUtf8(Sensor.Key);
    QJsonObject config = Entity(key, QString::fromUtf8(Sensor.Name), Topics, Heater);
    config.insert(QStringLiteral("state_topic"), Topics.State);
    config.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(key));
    config.insert(QStringLiteral("expire_after"), static_cast<qint64>(Options.ExpireAfter.count()));
    const auto insertWhenSet = [&config](const char *Name, const char *Value) {
        if (*Value)
            config.insert(QString::fromUtf8(Name), QString::fromUtf8(Value));
    };
    insertWhenSet("device_class", Sensor.DeviceClass);
    insertWhenSet("unit_of_measurement", Sensor.Unit);
    insertWhenSet("state_class", Sensor.StateClass);
    if (Sensor.Precision >= 0)
        config.insert(QStringLiteral("suggested_display_precision"), Sensor.Precision);
    if (Sensor.Diagnostic)
        config.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
    if (key == QLatin1String("status_text"))
        config.insert(QStringLiteral("options"), QJsonArray::fromStringList(StatusTexts()));
    return config;
}

QJsonObject DiagnosticConfig(const TSensor &Sensor, const TBridgeTopics &Topics, const TDiscoveredHeater &Heater,
                             const TDiscoveryOptions &Options)
{
    QJsonObject config = SensorConfig(Sensor, Topics, Heater, Options);
    config.insert(QStringLiteral("state_topic"), Topics.Diagnostics);
    config.remove(QStringLiteral("expire_after"));
    config.insert(QStringLiteral("availability"), QJsonArray{AvailabilityOf(Topics.Bridge)});
    config.remove(QStringLiteral("availability_mode"));
    return config;
}

QJsonObject ProblemConfig(const TBridgeTopics &Topics, const TDiscoveredHeater &Heater, const TDiscoveryOptions &Options)
{
    QJsonObject config = Entity(QStringLiteral("problem"), QStringLiteral("Problem"), Topics, Heater);
    config.insert(QStringLiteral("state_topic"), Topics.State);
    config.insert(QStringLiteral("value_template"), QStringLiteral("{{ 'ON' if value_json.problem else 'OFF' }}"));
    config.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
    config.insert(QStringLiteral("expire_after"), static_cast<qint64>(Options.ExpireAfter.count()));
    return config;
}

// Whether the bridge reaches the heater: available while the bridge is, so that it tells
// "heater unplugged" from "bridge gone".
QJsonObject ConnectivityConfig(const TBridgeTopics &Topics, const TDiscoveredHeater &Heater)
{
    QJsonObject config = Entity(QStringLiteral("heater_connected"), QStringLiteral("Heater connected"), Topics, Heater);
    config.insert(QStringLiteral("availability"), QJsonArray{AvailabilityOf(Topics.Bridge)});
    config.remove(QStringLiteral("availability_mode"));
    config.insert(QStringLiteral("state_topic"), Topics.Availability);
    config.insert(QStringLiteral("payload_on"), QStringLiteral("online"));
    config.insert(QStringLiteral("payload_off"), QStringLiteral("offline"));
    config.insert(QStringLiteral("device_class"), QStringLiteral("connectivity"));
    config.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
    return config;
}

struct TControl {
    QString Component;
    QString Key;
    QJsonObject Config;
};

// The controls, each sending on its command topic what ParseBridgeCommand takes.
std::vector<TControl> Controls(const TBridgeTopics &Topics, const TDiscoveredHeater &Heater)
{
    std::vector<TControl> controls;
    QJsonObject setpoint = Entity(QStringLiteral("setpoint"), QStringLiteral("Water setpoint"), Topics, Heater);
    setpoint.insert(QStringLiteral("command_topic"), Topics.Commands + QStringLiteral("setpoint"));
    setpoint.insert(QStringLiteral("state_topic"), Topics.State);
    setpoint.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.setpoint_c }}"));
    setpoint.insert(QStringLiteral("min"), LowestSetpoint);
    setpoint.insert(QStringLiteral("max"), HighestSetpoint);
    setpoint.insert(QStringLiteral("step"), 1);
    setpoint.insert(QStringLiteral("mode"), QStringLiteral("box"));
    setpoint.insert(QStringLiteral("device_class"), QStringLiteral("temperature"));
    setpoint.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("°C"));
    controls.push_back({QStringLiteral("number"), QStringLiteral("setpoint"), setpoint});
    // The heater does not report whether a PWM is forced: the choice shows what was last chosen.
    for (int string = 1; string <= 3; ++string) {
        const QString key = QStringLiteral("string%1_pwm_setting").arg(string);
        QJsonObject pwm = Entity(key, QStringLiteral("String %1 PWM setting").arg(string), Topics, Heater);
        pwm.insert(QStringLiteral("command_topic"), Topics.Commands + QStringLiteral("pwm%1").arg(string));
        pwm.insert(QStringLiteral("options"), QJsonArray::fromStringList(PwmOptions()));
        pwm.insert(QStringLiteral("optimistic"), true);
        pwm.insert(QStringLiteral("entity_category"), QStringLiteral("config"));
        controls.push_back({QStringLiteral("select"), key, pwm});
    }
    QJsonObject clock = Entity(QStringLiteral("set_clock"), QStringLiteral("Set clock"), Topics, Heater);
    clock.insert(QStringLiteral("command_topic"), Topics.Commands + QStringLiteral("clock"));
    clock.insert(QStringLiteral("payload_press"), QString::fromLatin1(ButtonPress));
    clock.insert(QStringLiteral("entity_category"), QStringLiteral("config"));
    controls.push_back({QStringLiteral("button"), QStringLiteral("set_clock"), clock});
    return controls;
}

}

TBridgeTopics BridgeTopics(const QString &Prefix, const QString &SerialId, const QString &BridgeAvailability)
{
    const QString base = Prefix + QLatin1Char('/') + SerialId + QLatin1Char('/');
    return {base + QStringLiteral("state"), base + QStringLiteral("availability"), base + QStringLiteral("set/"),
            base + QStringLiteral("diagnostics"), BridgeAvailability};
}

// A host name as one topic level: without the characters that separate or match levels.
QString BridgeAvailabilityTopic(const QString &Prefix, const QString &Host)
{
    QString level = Host;
    for (QChar &c : level) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#'))
            c = QLatin1Char('_');
    }
    if (level.isEmpty())
        level = QStringLiteral("localhost");
    return QStringLiteral("%1/bridge/%2/availability").arg(Prefix, level);
}

std::vector<TMqttMessage> DiscoveryMessages(const TBridgeTopics &Topics, const TDiscoveredHeater &Heater,
                                            const TDiscoveryOptions &Options)
{
    const auto topic = [&](const QString &Component, const QString &Key) {
        return QStringLiteral("%1/%2/helvane_%3/%4/config").arg(Options.Prefix, Component, Heater.SerialId, Key);
    };
    const auto json = [](const QJsonObject &Config) { return QJsonDocument(Config).toJson(QJsonDocument::Compact); };
    std::vector<TMqttMessage> messages;
    for (const TSensor &sensor : Sensors) {
        messages.push_back({topic(QStringLiteral("sensor"), QString::fromUtf8(sensor.Key)),
                            json(SensorConfig(sensor, Topics, Heater, Options))});
    }
    for (const TSensor &sensor : DiagnosticSensors) {
        messages.push_back({topic(QStringLiteral("sensor"), QString::fromUtf8(sensor.Key)),
                            json(DiagnosticConfig(sensor, Topics, Heater, Options))});
    }
    messages.push_back({topic(QStringLiteral("binary_sensor"), QStringLiteral("problem")), json(ProblemConfig(Topics, Heater, Options))});
    messages.push_back({topic(QStringLiteral("binary_sensor"), QStringLiteral("heater_connected")), json(ConnectivityConfig(Topics, Heater))});
    // An empty retained configuration removes the control that a bridge with commands made.
    for (const TControl &control : Controls(Topics, Heater))
        messages.push_back({topic(control.Component, control.Key), Options.ReadOnly ? QByteArray() : json(control.Config)});
    return messages;
}
