#include "Broker.h"
#include "HeaterProcess.h"

#include "archive/Archive.h"
#include "bridge/MqttBridge.h"
#include "heatersim.h"
#include "protocol/Commands.h"
#include "settings/SettingValues.h"
#include "support/ExampleStatus.h"
#include "support/StoredHistory.h"
#include "support/WrittenReports.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";
const std::string StateTopic = "helvane/1709-0634/state";
const std::string AvailabilityTopic = "helvane/1709-0634/availability";
const std::string CommandTopic = "helvane/1709-0634/set/";
const std::string DiagnosticsTopic = "helvane/1709-0634/diagnostics";
// 23 sensors of the state, 4 of the diagnostics, the problem and connectivity sensors, the
// setpoint, three PWM choices and the clock button.
constexpr std::size_t ConfigCount = 34;

// The bridge's own availability, apart from the heater's.
std::string BridgeTopic()
{
    return "helvane/bridge/" + QSysInfo::machineHostName().toStdString() + "/availability";
}

QJsonObject Json(const std::string &Payload)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(Payload)).object();
}

class MqttTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        heatersim_reset();
        heatersim_plug_heater(HeaterPath, L"V1.10");
        SetStatus(ExampleStatus());
    }

    static void SetStatus(const heatersim_status &Status) { heatersim_set_status(&Status); }

    std::unique_ptr<TMqttBridge> StartBridge(TBridgeOptions Options = {})
    {
        Options.Broker = {QStringLiteral("127.0.0.1"), Broker.Port()};
        if (Options.PollIntervalMs == TBridgeOptions().PollIntervalMs)
            Options.PollIntervalMs = 50;
        if (Options.PublishIntervalMs == TBridgeOptions().PublishIntervalMs)
            Options.PublishIntervalMs = 200;
        Options.LockFolder = LockFolder.path();
        auto bridge = std::make_unique<TMqttBridge>(Options, Hid, Log);
        bridge->Start();
        return bridge;
    }

    // The discovery configurations received, by topic.
    std::map<std::string, std::string> Configs() const
    {
        std::map<std::string, std::string> configs;
        for (const auto &[topic, payload] : Subscriber.Latest()) {
            if (topic.starts_with("homeassistant/") && topic != "homeassistant/status")
                configs[topic] = payload;
        }
        return configs;
    }

    std::vector<std::string> States() const
    {
        std::vector<std::string> states;
        for (const auto &[topic, payload] : Subscriber.Messages()) {
            if (topic == StateTopic)
                states.push_back(payload);
        }
        return states;
    }

    // Waits until the bridge takes commands: a setpoint of 61 °C (the heater reports 60), sent
    // until it arrives; a copy still under way is not written again, as the heater reports it then.
    bool TakesCommands()
    {
        return QTest::qWaitFor([&] {
            Subscriber.Publish(CommandTopic + "setpoint", "61");
            return QTest::qWaitFor([] { return heatersim_written_count() > 0; }, 200);
        }, 10000);
    }

    // The state's energy, once the latest state carries it.
    bool StateWithEnergy(int Energy) const
    {
        return Subscriber.WaitFor([&] { return Json(Subscriber.Latest(StateTopic)).value("energy_today_wh").toInt() == Energy; });
    }

    QTemporaryDir LockFolder;
    TBroker Broker;
    TSubscriber Subscriber{Broker.Port()};
    TFHid Hid{QStringLiteral(HEATERSIM_FILE), nullptr};
    QString LogText;
    QTextStream Log{&LogText};
};

TEST_F(MqttTest, DiscoveryStateAndAvailabilityDescribeTheHeater)
{
    auto bridge = StartBridge();
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
    ASSERT_TRUE(StateWithEnergy(12345));

    const QJsonObject state = Json(Subscriber.Latest(StateTopic));
    EXPECT_EQ(state.value("serial_number").toString(), QStringLiteral("1709-0634"));
    EXPECT_EQ(state.value("string1_power_w").toDouble(), 310.0);
    EXPECT_EQ(state.value("string1_voltage_v").toDouble(), 31.0);
    EXPECT_EQ(state.value("water_temp_c").toDouble(), 45.25);
    EXPECT_EQ(state.value("board_temp_c").toDouble(), 28.5);
    EXPECT_EQ(state.value("status_code").toInt(), 0);
    EXPECT_EQ(state.value("status_text").toString(), QStringLiteral("Normal operation"));
    EXPECT_FALSE(state.value("problem").toBool());

    heatersim_status changed = ExampleStatus();
    changed.energy = 12400;
    changed.state = 111;
    SetStatus(changed);
    ASSERT_TRUE(StateWithEnergy(12400));
    EXPECT_EQ(Json(Subscriber.Latest(StateTopic)).value("status_text").toString(), QStringLiteral("Nominal water temperature reached"));

    std::map<std::string, QJsonObject> configs;
    for (const auto &[topic, payload] : Configs())
        configs[topic] = Json(payload);
    ASSERT_EQ(configs.size(), ConfigCount);
    std::set<QString> uniqueIds;
    const QJsonObject diagnostics = Json(Subscriber.Latest(DiagnosticsTopic));
    for (const auto &[topic, config] : configs) {
        SCOPED_TRACE(topic);
        EXPECT_TRUE(topic.ends_with("/config") && topic.find("/helvane_1709-0634/") != std::string::npos);
        // Every entity is available while the bridge is; those of the heater's values while the heater is, too.
        std::vector<std::string> availability;
        for (const QJsonValue &entry : config.value("availability").toArray())
            availability.push_back(entry.toObject().value("topic").toString().toStdString());
        const bool ownView = config.value("state_topic").toString().toStdString() == DiagnosticsTopic
                             || topic.ends_with("/heater_connected/config");
        EXPECT_EQ(availability, (ownView ? std::vector<std::string>{BridgeTopic()} : std::vector<std::string>{BridgeTopic(), AvailabilityTopic}));
        EXPECT_EQ(config.value("device").toObject().value("identifiers").toArray().first().toString(), QStringLiteral("helvane_1709-0634"));
        EXPECT_EQ(config.value("device").toObject().value("sw_version").toString(), QStringLiteral("V1.10"));
        EXPECT_EQ(config.value("origin").toObject().value("name").toString(), QStringLiteral("helvane"));
        uniqueIds.insert(config.value("unique_id").toString());
        if (config.value("state_class").toString() == QLatin1String("measurement")) {
            EXPECT_TRUE(config.contains("suggested_display_precision"));
        }
        if (ownView) {
            EXPECT_EQ(config.value("entity_category").toString(), QStringLiteral("diagnostic"));
            EXPECT_FALSE(config.contains("expire_after"));
            const QString key = config.value("value_template").toString().section(QLatin1Char('.'), 1).section(QLatin1Char(' '), 0, 0);
            EXPECT_TRUE(key.isEmpty() || diagnostics.contains(key)) << key.toStdString();
        } else if (topic.starts_with("homeassistant/sensor/") || topic.starts_with("homeassistant/binary_sensor/")) {
            EXPECT_EQ(config.value("state_topic").toString().toStdString(), StateTopic);
            EXPECT_EQ(config.value("expire_after").toInt(), 180);
            // Each sensor reads a value that the state carries.
            const QString key = config.value("value_template").toString().section(QLatin1Char('.'), 1).section(QLatin1Char(' '), 0, 0);
            EXPECT_TRUE(state.contains(key)) << key.toStdString();
        } else {
            EXPECT_TRUE(config.value("command_topic").toString().toStdString().starts_with(CommandTopic));
        }
    }
    EXPECT_EQ(uniqueIds.size(), configs.size());

    const QJsonObject status = configs.at("homeassistant/sensor/helvane_1709-0634/status_text/config");
    EXPECT_EQ(status.value("device_class").toString(), QStringLiteral("enum"));
    EXPECT_TRUE(status.value("options").toArray().contains(QStringLiteral("Normal operation")));
    EXPECT_TRUE(status.value("options").toArray().contains(QStringLiteral("Nominal water temperature reached")));
    const QJsonObject problem = configs.at("homeassistant/binary_sensor/helvane_1709-0634/problem/config");
    EXPECT_EQ(problem.value("device_class").toString(), QStringLiteral("problem"));
    const QJsonObject setpoint = configs.at("homeassistant/number/helvane_1709-0634/setpoint/config");
    EXPECT_EQ(setpoint.value("min").toInt(), 45);
    EXPECT_EQ(setpoint.value("max").toInt(), 85);
    EXPECT_EQ(setpoint.value("command_topic").toString().toStdString(), CommandTopic + "setpoint");
    const QJsonObject pwm = configs.at("homeassistant/select/helvane_1709-0634/string2_pwm_setting/config");
    EXPECT_EQ(pwm.value("command_topic").toString().toStdString(), CommandTopic + "pwm2");
    EXPECT_EQ(pwm.value("options").toArray().first().toString(), QStringLiteral("Auto"));
    const QJsonObject clock = configs.at("homeassistant/button/helvane_1709-0634/set_clock/config");
    EXPECT_EQ(clock.value("payload_press").toString(), QStringLiteral("PRESS"));
    EXPECT_EQ(configs.at("homeassistant/sensor/helvane_1709-0634/clock/config").value("device_class").toString(), QStringLiteral("timestamp"));

    const QJsonObject energy = configs.at("homeassistant/sensor/helvane_1709-0634/energy_today_wh/config");
    EXPECT_EQ(energy.value("device_class").toString(), QStringLiteral("energy"));
    EXPECT_EQ(energy.value("unit_of_measurement").toString(), QStringLiteral("Wh"));
    EXPECT_EQ(energy.value("state_class").toString(), QStringLiteral("total_increasing"));
    const QJsonObject power = configs.at("homeassistant/sensor/helvane_1709-0634/string2_power_w/config");
    EXPECT_EQ(power.value("device_class").toString(), QStringLiteral("power"));
    EXPECT_EQ(power.value("unit_of_measurement").toString(), QStringLiteral("W"));
    EXPECT_EQ(power.value("state_class").toString(), QStringLiteral("measurement"));
    const QJsonObject water = configs.at("homeassistant/sensor/helvane_1709-0634/water_temp_c/config");
    EXPECT_EQ(water.value("device_class").toString(), QStringLiteral("temperature"));
    EXPECT_EQ(water.value("unit_of_measurement").toString(), QStringLiteral("°C"));
    EXPECT_EQ(water.value("suggested_display_precision").toInt(), 1);
    EXPECT_EQ(state.value("pv_power_w").toDouble(), state.value("string1_power_w").toDouble() + state.value("string2_power_w").toDouble()
                                                        + state.value("string3_power_w").toDouble());
    const QJsonObject connected = configs.at("homeassistant/binary_sensor/helvane_1709-0634/heater_connected/config");
    EXPECT_EQ(connected.value("device_class").toString(), QStringLiteral("connectivity"));
    EXPECT_EQ(connected.value("state_topic").toString().toStdString(), AvailabilityTopic);

    // The bridge's view: a reading just now, no failed poll, no archive, the heater's clock as the
    // model sets it (the example's date, years behind this machine).
    EXPECT_TRUE(QDateTime::fromString(diagnostics.value("last_reading").toString(), Qt::ISODate).isValid());
    EXPECT_EQ(diagnostics.value("failed_polls").toInt(), 0);
    EXPECT_EQ(diagnostics.value("archive").toString(), QStringLiteral("none"));
    EXPECT_LT(diagnostics.value("clock_offset_s").toDouble(), 0);

    bridge->Stop();
    EXPECT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
    EXPECT_TRUE(Subscriber.WaitFor(BridgeTopic(), "offline"));
}

// Without a heater the bridge is on the broker at once, its own availability online and nothing
// of a heater published; the heater's topics come with the heater.
TEST_F(MqttTest, BridgeWithoutHeaterConnectsAtStart)
{
    heatersim_unplug(HeaterPath);
    auto bridge = StartBridge();
    ASSERT_TRUE(Subscriber.WaitFor(BridgeTopic(), "online"));
    EXPECT_TRUE(bridge->BrokerConnected());
    QTest::qWait(200);
    for (const auto &[topic, payload] : Subscriber.Messages())
        EXPECT_EQ(topic, BridgeTopic());

    heatersim_plug_heater(HeaterPath, L"V1.10");
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
    EXPECT_TRUE(StateWithEnergy(12345));
    EXPECT_TRUE(Subscriber.WaitFor([&] { return Configs().size() == ConfigCount; }));
    heatersim_unplug(HeaterPath);
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
    EXPECT_EQ(Subscriber.Latest(BridgeTopic()), "online");
}

TEST_F(MqttTest, AvailabilityFollowsUnplugAndReplug)
{
    auto bridge = StartBridge();
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));

    heatersim_unplug(HeaterPath);
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
    EXPECT_TRUE(bridge->BrokerConnected());

    heatersim_status later = ExampleStatus();
    later.energy = 13000;
    SetStatus(later);
    heatersim_plug_heater("/dev/hidraw-heater1", L"V1.10");
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
    EXPECT_TRUE(StateWithEnergy(13000));
    EXPECT_TRUE(LogText.contains(QStringLiteral("No heater found: connect the heater by USB. Waiting for it.")));

    // Another heater in its place has topics and a last will of its own.
    heatersim_unplug("/dev/hidraw-heater1");
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
    heatersim_status other = ExampleStatus();
    other.serial_number = 17100001;
    SetStatus(other);
    heatersim_plug_heater("/dev/hidraw-heater2", L"V1.11");
    ASSERT_TRUE(Subscriber.WaitFor("helvane/1710-0001/availability", "online"));
    EXPECT_EQ(Subscriber.Latest(AvailabilityTopic), "offline");
    EXPECT_TRUE(Subscriber.WaitFor([&] {
        return Subscriber.Latest().count("homeassistant/sensor/helvane_1710-0001/energy_today_wh/config") == 1;
    }));
    // The day's energy of one heater is no floor for another's.
    EXPECT_TRUE(Subscriber.WaitFor([&] { return Json(Subscriber.Latest("helvane/1710-0001/state")).value("energy_today_wh").toInt() == 12345; }));
    bridge->Stop();
    EXPECT_TRUE(Subscriber.WaitFor("helvane/1710-0001/availability", "offline"));
}

// While the broker is away the heater is still polled; once it is back, the discovery and only
// the latest state are published again.
TEST_F(MqttTest, ReconnectsAfterTheBrokerRestartsWithTheLatestState)
{
    auto bridge = StartBridge();
    ASSERT_TRUE(StateWithEnergy(12345));

    Broker.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bridge->BrokerConnected(); }, 10000));
    const int readsBefore = heatersim_feature_reads();
    heatersim_status later = ExampleStatus();
    later.energy = 23456;
    SetStatus(later);
    QTest::qWait(300);
    EXPECT_GT(heatersim_feature_reads(), readsBefore + 2);

    Subscriber.Forget();
    Broker.Start();
    ASSERT_TRUE(StateWithEnergy(23456));
    EXPECT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
    // The configurations, the state, the diagnostics and the availability of bridge and heater.
    EXPECT_TRUE(Subscriber.WaitFor([&] { return Subscriber.Latest().size() == ConfigCount + 4; }));
    for (const auto &[topic, payload] : Subscriber.Messages()) {
        if (topic == StateTopic) {
            EXPECT_EQ(Json(payload).value("energy_today_wh").toInt(), 23456);
        }
    }
    EXPECT_TRUE(LogText.contains(QStringLiteral("went away")));
}

// The bridge as the service runs it: a stop request marks the heater and the bridge offline and
// ends with 0; a bridge that is killed leaves its own availability to its last will.
TEST_F(MqttTest, StoppedOrKilledBridgeLeavesTheHeaterOffline)
{
    const QStringList arguments{QStringLiteral("mqtt"), QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(Broker.Port())};

    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "stopped");
        QProcess bridge;
        bridge.setProcessEnvironment(HeaterEnvironment());
        bridge.start(QStringLiteral(HELVANE_CLI_FILE), arguments);
        ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
        ASSERT_TRUE(Subscriber.WaitFor(BridgeTopic(), "online"));
        if (killed) {
            bridge.kill();
        } else {
            bridge.terminate();
        }
        EXPECT_TRUE(Subscriber.WaitFor(BridgeTopic(), "offline"));
        if (!killed) {
            EXPECT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
        }
        bridge.waitForFinished(10000);
        ASSERT_EQ(bridge.state(), QProcess::NotRunning);
        if (!killed) {
            EXPECT_EQ(bridge.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(bridge.exitCode(), 0);
        }
    }
}

// One bridge per heater: a second one on the same heater says so and ends with 1, and the lock
// of one that was killed does not stand in the way of the next.
TEST_F(MqttTest, ASecondBridgeOnTheSameHeaterEnds)
{
    const QStringList arguments{QStringLiteral("mqtt"), QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(Broker.Port()),
                                QStringLiteral("--no-archive")};
    QProcess first;
    first.setProcessEnvironment(HeaterEnvironment());
    first.start(QStringLiteral(HELVANE_CLI_FILE), arguments);
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));

    QProcess second;
    second.setProcessEnvironment(HeaterEnvironment());
    second.start(QStringLiteral(HELVANE_CLI_FILE), arguments);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 1);
    const QString said = QString::fromUtf8(second.readAllStandardError());
    EXPECT_TRUE(said.contains(QRegularExpression(QStringLiteral("helvane-cli: Heater 1709-0634 is bridged already, by process %1 "
                                                                "\\(.*helvane-1709-0634\\.lock\\)\\.\\n$").arg(first.processId()))))
        << said.toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished(10000);
    ASSERT_TRUE(Subscriber.WaitFor(BridgeTopic(), "offline"));
    Subscriber.Forget();
    QProcess third;
    third.setProcessEnvironment(HeaterEnvironment());
    third.start(QStringLiteral(HELVANE_CLI_FILE), arguments);
    EXPECT_TRUE(Subscriber.WaitFor(BridgeTopic(), "online"));
    EXPECT_TRUE(Subscriber.WaitFor([&] { return !States().empty(); }));
    third.terminate();
    ASSERT_TRUE(third.waitForFinished(10000));
    EXPECT_EQ(third.exitCode(), 0);
}

// The stored history goes into the archive a slice after each poll, the polls going on all along,
// with a heater that answers late; a read-out that a pulled plug breaks off starts anew when the
// heater is back. Every record is archived once.
TEST_F(MqttTest, BridgeArchivesTheStoredHistoryBetweenPolls)
{
    heatersim_set_reply_latency(2);
    Store(Hourly(900));
    QTemporaryDir folder;
    const QString archive = folder.filePath(QStringLiteral("Archive.sqlite"));
    TBridgeOptions options;
    options.PollIntervalMs = 100;
    options.ArchiveLocation = archive;
    auto bridge = StartBridge(options);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->ReadingHistory(); }, 10000));
    const int readsAtStart = heatersim_feature_reads();
    ASSERT_TRUE(QTest::qWaitFor([&] { return heatersim_feature_reads() >= readsAtStart + 3; }, 10000));
    ASSERT_TRUE(bridge->ReadingHistory());
    heatersim_unplug(HeaterPath);
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
    EXPECT_FALSE(bridge->ReadingHistory());

    heatersim_plug_heater(HeaterPath, L"V1.10");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->ReadingHistory(); }, 10000));
    const int readsAtReplug = heatersim_feature_reads();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bridge->ReadingHistory(); }, 60000));
    EXPECT_GE(heatersim_feature_reads(), readsAtReplug + 5);
    EXPECT_EQ(LogText.count(QStringLiteral("Reading heater 1709-0634's stored history into the archive.")), 2);
    EXPECT_TRUE(LogText.contains(QStringLiteral("The stored history of heater 1709-0634 is archived: 900 samples"))) << LogText.toStdString();
    EXPECT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));

    // The next read-out is a day away.
    QTest::qWait(500);
    EXPECT_EQ(LogText.count(QStringLiteral("Reading heater")), 2);
    bridge.reset();
    const THistoryList stored = OpenArchive(archive)->Samples(QStringLiteral("1709-0634"), FirstArchiveTime, LastArchiveTime);
    ASSERT_EQ(stored.Count(), 900);
    // The records hold whole seconds.
    EXPECT_NEAR(stored.Items(0).DT, April7 + 0.5 - 899 / 24.0, 1500.0 / MSecsPerDay);
    EXPECT_NEAR(stored.Items(899).DT, April7 + 0.5, 1500.0 / MSecsPerDay);
}

// Each command from the broker reaches the heater as the exact request the window sends.
TEST_F(MqttTest, CommandsReachTheHeaterAsItsRequests)
{
    auto bridge = StartBridge();
    ASSERT_TRUE(TakesCommands());
    const struct {
        const char *Name;
        const char *Payload;
        TBytes Report;
    } cases[] = {
        {"setpoint", "55", Sent({0x00, cmdSetpoint, 0, 0, 0, 55})},
        {"setpoint", "85.0", Sent({0x00, cmdSetpoint, 0, 0, 0, 85})},
        {"pwm1", "Auto", Sent({0x00, PwmCommand(1), 0xFF, 0xFF, 0xFF, 0xFF})},
        {"pwm2", "500 ‰", Sent({0x00, PwmCommand(2), 0, 0, 0x01, 0xF4})},
        {"pwm3", "1000", Sent({0x00, PwmCommand(3), 0, 0, 0x03, 0xE8})},
        {"pwm3", "0", Sent({0x00, PwmCommand(3), 0, 0, 0, 0})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + c.Payload);
        const int before = heatersim_written_count();
        Subscriber.Publish(CommandTopic + c.Name, c.Payload);
        ASSERT_TRUE(QTest::qWaitFor([&] { return heatersim_written_count() > before; }, 5000));
        EXPECT_EQ(WrittenReports().back(), c.Report);
        EXPECT_EQ(heatersim_written_count(), before + 1);
    }
    EXPECT_TRUE(LogText.contains(QStringLiteral("Water setpoint set to 55 °C.\nWater temperatures below 60°C can promote legionella growth")));
    EXPECT_TRUE(LogText.contains(QStringLiteral("String 2 PWM set to 500 ‰.")));

    const int before = heatersim_written_count();
    const std::int32_t earliest = DeviceClockValue(QDate::currentDate(), QTime::currentTime());
    Subscriber.Publish(CommandTopic + "clock", "PRESS");
    ASSERT_TRUE(QTest::qWaitFor([&] { return heatersim_written_count() > before; }, 5000));
    const TBytes clock = WrittenReports().back();
    const std::int32_t latest = DeviceClockValue(QDate::currentDate(), QTime::currentTime());
    ASSERT_EQ(clock[1], cmdClock);
    const std::int32_t sent = static_cast<std::int32_t>(clock[2] << 24 | clock[3] << 16 | clock[4] << 8 | clock[5]);
    EXPECT_GE(sent, earliest);
    EXPECT_LE(sent, latest);
}

// A flood of payloads that are not what a command takes sends nothing and logs one line, the
// first refusal; the rest are counted for the minute's summary.
TEST_F(MqttTest, AFloodOfRefusedPayloadsSendsNothingAndLogsOneLine)
{
    auto bridge = StartBridge();
    ASSERT_TRUE(TakesCommands());
    const std::pair<const char *, std::string> refused[] = {
        {"setpoint", "abc"}, {"setpoint", ""}, {"setpoint", "44"}, {"setpoint", std::string(40, '6')},
        {"setpoint", std::string("6\0", 2)}, {"pwm1", "1001"}, {"clock", "press"}, {"pwm4", "Auto"},
    };
    QTest::qWait(100);
    const int before = heatersim_written_count();
    for (int i = 0; i < 2000; ++i) {
        const auto &[name, payload] = refused[static_cast<std::size_t>(i) % std::size(refused)];
        Subscriber.Publish(CommandTopic + name, payload);
    }
    // One good command after them: once it arrived, all of them have been handled.
    Subscriber.Publish(CommandTopic + "pwm2", "300");
    ASSERT_TRUE(QTest::qWaitFor([&] { return heatersim_written_count() > before; }, 30000));
    QTest::qWait(100);
    EXPECT_EQ(heatersim_written_count(), before + 1);
    EXPECT_EQ(WrittenReports().back(), Sent({0x00, PwmCommand(2), 0, 0, 0x01, 0x2C}));
    EXPECT_EQ(LogText.count(QStringLiteral("ignored ")), 1) << LogText.toStdString();
    EXPECT_TRUE(LogText.contains(QStringLiteral("ignored setpoint command 'abc': not a number")));
}

// 200 setpoints at once become a write a second at most, the last one winning; a setpoint the
// heater already reports is not written.
TEST_F(MqttTest, AFloodOfSetpointsIsCoalesced)
{
    auto bridge = StartBridge();
    ASSERT_TRUE(TakesCommands());
    QTest::qWait(1100);
    const int before = heatersim_written_count();
    QElapsedTimer flood;
    flood.start();
    for (int i = 0; i < 200; ++i)
        Subscriber.Publish(CommandTopic + "setpoint", std::to_string(45 + i % 41));
    const int last = 45 + 199 % 41;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        heatersim_status status;
        heatersim_get_status(&status);
        return status.setpoint == last;
    }, 10000));
    const qint64 seconds = flood.elapsed() / 1000;
    QTest::qWait(1200);
    const int writes = heatersim_written_count() - before;
    EXPECT_GE(writes, 1);
    EXPECT_LE(writes, 2 + seconds);
    EXPECT_EQ(WrittenReports().back(), Sent({0x00, cmdSetpoint, 0, 0, 0, static_cast<unsigned char>(last)}));

    const int settled = heatersim_written_count();
    Subscriber.Publish(CommandTopic + "setpoint", std::to_string(last));
    Subscriber.Publish(CommandTopic + "pwm1", "Auto");
    ASSERT_TRUE(QTest::qWaitFor([&] { return heatersim_written_count() > settled; }, 5000));
    QTest::qWait(1200);
    EXPECT_EQ(heatersim_written_count(), settled + 1);
    EXPECT_EQ(WrittenReports().back(), Sent({0x00, PwmCommand(1), 0xFF, 0xFF, 0xFF, 0xFF}));
}

// A retained command is never executed: not the ones the broker kept from before the bridge
// started, nor one retained while it runs. Each topic's is logged once.
TEST_F(MqttTest, RetainedCommandsAreIgnored)
{
    Subscriber.Publish(CommandTopic + "setpoint", "70", true);
    Subscriber.Publish(CommandTopic + "pwm1", "500", true);
    ASSERT_TRUE(Subscriber.WaitFor(CommandTopic + "pwm1", "500"));
    auto bridge = StartBridge();
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
    Subscriber.Publish(CommandTopic + "pwm2", "300");
    ASSERT_TRUE(QTest::qWaitFor([] { return heatersim_written_count() > 0; }, 10000));
    Subscriber.Publish(CommandTopic + "setpoint", "71", true);
    Subscriber.Publish(CommandTopic + "pwm3", "200");
    ASSERT_TRUE(QTest::qWaitFor([] { return heatersim_written_count() > 1; }, 10000));

    Broker.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bridge->BrokerConnected(); }, 10000));
    Subscriber.Forget();
    Broker.Start();
    // The broker keeps nothing across its restart: the availability is the bridge's again.
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online", 40000));
    Subscriber.Publish(CommandTopic + "pwm1", "600", true);
    Subscriber.Publish(CommandTopic + "setpoint", "72", true);
    Subscriber.Publish(CommandTopic + "pwm3", "100");
    ASSERT_TRUE(QTest::qWaitFor([] { return heatersim_written_count() > 2; }, 10000));
    QTest::qWait(200);

    const std::vector<TBytes> written = WrittenReports();
    EXPECT_EQ(written, (std::vector<TBytes>{Sent({0x00, PwmCommand(2), 0, 0, 0x01, 0x2C}), Sent({0x00, PwmCommand(3), 0, 0, 0, 0xC8}),
                                            Sent({0x00, PwmCommand(3), 0, 0, 0, 0x64})}));
    for (const char *name : {"setpoint", "pwm1"}) {
        const QString line = QStringLiteral("ignored the retained message on %1%2").arg(QString::fromStdString(CommandTopic), QLatin1String(name));
        EXPECT_EQ(LogText.count(line), 1) << name << "\n" << LogText.toStdString();
    }
}

// A retained command that the broker keeps across its restart reaches the bridge again at its
// reconnection, and is ignored again.
TEST_F(MqttTest, RetainedCommandsAreIgnoredAfterAReconnection)
{
    TBroker broker({}, std::nullopt, true);
    TSubscriber subscriber(broker.Port());
    subscriber.Publish(CommandTopic + "setpoint", "70", true);
    ASSERT_TRUE(subscriber.WaitFor(CommandTopic + "setpoint", "70"));
    TBridgeOptions options;
    options.Broker = {QStringLiteral("127.0.0.1"), broker.Port()};
    options.PollIntervalMs = 50;
    options.LockFolder = LockFolder.path();
    TMqttBridge bridge(options, Hid, Log);
    bridge.Start();
    ASSERT_TRUE(subscriber.WaitFor(AvailabilityTopic, "online"));
    // Sent until it arrives: once it did, the bridge has subscribed and had the retained command.
    const auto takes = [&](const std::string &Name, const std::string &Payload) {
        const int before = heatersim_written_count();
        return QTest::qWaitFor([&] {
            subscriber.Publish(CommandTopic + Name, Payload);
            return QTest::qWaitFor([&] { return heatersim_written_count() > before; }, 300);
        }, 20000);
    };
    ASSERT_TRUE(takes("pwm2", "300"));

    broker.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bridge.BrokerConnected(); }, 10000));
    subscriber.Forget();
    broker.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bridge.BrokerConnected(); }, 40000));
    // The broker kept it: the test's own subscription has it again.
    ASSERT_TRUE(subscriber.WaitFor(CommandTopic + "setpoint", "70", 20000));
    QTest::qWait(1100);
    ASSERT_TRUE(takes("pwm3", "200"));
    QTest::qWait(200);

    for (const TBytes &written : WrittenReports())
        EXPECT_NE(written[1], cmdSetpoint);
    EXPECT_EQ(LogText.count(QStringLiteral("ignored the retained message on %1setpoint").arg(QString::fromStdString(CommandTopic))), 1)
        << LogText.toStdString();
    bridge.Stop();
}

// The heater restarts while unplugged: its lower counter is held back once, as a glitch, and then
// published, so that Home Assistant counts the energy of both runs.
TEST_F(MqttTest, EnergyOfARestartedHeaterIsPublished)
{
    auto bridge = StartBridge();
    ASSERT_TRUE(StateWithEnergy(12345));
    heatersim_unplug(HeaterPath);
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
    heatersim_status restarted = ExampleStatus();
    restarted.energy = 500;
    SetStatus(restarted);
    heatersim_plug_heater(HeaterPath, L"V1.10");
    ASSERT_TRUE(StateWithEnergy(500));
    for (const std::string &state : States()) {
        const int energy = Json(state).value("energy_today_wh").toInt();
        EXPECT_TRUE(energy == 12345 || energy == 500) << energy;
    }
}

// Read-only: no control is offered (a bridge with commands before may have made them), and
// nothing published to the command topics or Home Assistant's status reaches the bridge.
TEST_F(MqttTest, ReadOnlyBridgeTakesNoCommands)
{
    TBridgeOptions options;
    options.ReadOnly = true;
    auto bridge = StartBridge(options);
    ASSERT_TRUE(StateWithEnergy(12345));
    ASSERT_TRUE(Subscriber.WaitFor([&] { return Configs().size() == ConfigCount; }));
    for (const auto &[topic, payload] : Configs()) {
        const bool control = topic.starts_with("homeassistant/number/") || topic.starts_with("homeassistant/select/")
                             || topic.starts_with("homeassistant/button/");
        EXPECT_EQ(payload.empty(), control) << topic;
    }
    Subscriber.Forget();
    Subscriber.Publish(CommandTopic + "setpoint", "70");
    Subscriber.Publish("homeassistant/status", "online");
    QTest::qWait(500);
    EXPECT_EQ(heatersim_written_count(), 0);
    EXPECT_TRUE(Configs().empty());
    EXPECT_FALSE(LogText.contains(QStringLiteral("setpoint")));
}

// Home Assistant's birth message brings the configurations again; another prefix is heeded.
TEST_F(MqttTest, BirthMessageBringsDiscoveryAgain)
{
    TBridgeOptions options;
    options.DiscoveryPrefix = QStringLiteral("ha/test");
    auto bridge = StartBridge(options);
    ASSERT_TRUE(TakesCommands());
    const auto configs = [&] {
        std::size_t count = 0;
        for (const auto &[topic, payload] : Subscriber.Messages())
            count += topic.starts_with("ha/test/") && topic.ends_with("/config") ? 1 : 0;
        return count;
    };
    ASSERT_EQ(configs(), ConfigCount);
    Subscriber.Forget();
    Subscriber.Publish("homeassistant/status", "online");
    Subscriber.Publish("ha/test/status", "offline");
    QTest::qWait(300);
    EXPECT_EQ(configs(), 0U);
    Subscriber.Publish("ha/test/status", "online");
    EXPECT_TRUE(Subscriber.WaitFor([&] { return configs() == ConfigCount; }));
}

// Unchanged readings are not published again; changed ones wait for the interval, a changed
// status goes out at once; the day's energy never falls on the same date.
TEST_F(MqttTest, StateIsPublishedWhenItChanges)
{
    TBridgeOptions options;
    options.PublishIntervalMs = 60000;
    auto bridge = StartBridge(options);
    ASSERT_TRUE(StateWithEnergy(12345));
    const int reads = heatersim_feature_reads();
    QTest::qWait(500);
    ASSERT_GT(heatersim_feature_reads(), reads + 3);
    EXPECT_EQ(States().size(), 1U);

    heatersim_status changed = ExampleStatus();
    changed.energy = 12400;
    SetStatus(changed);
    QTest::qWait(500);
    EXPECT_EQ(States().size(), 1U);

    changed.state = 111;
    SetStatus(changed);
    ASSERT_TRUE(Subscriber.WaitFor([&] { return Json(Subscriber.Latest(StateTopic)).value("status_code").toInt() == 111; }));
    EXPECT_EQ(States().size(), 2U);
    EXPECT_EQ(Json(Subscriber.Latest(StateTopic)).value("energy_today_wh").toInt(), 12400);

    // A drop to 0 on the same day, told at once through a status change: its first reading is held
    // back as a glitch.
    changed.energy = 0;
    changed.state = 225;
    SetStatus(changed);
    ASSERT_TRUE(Subscriber.WaitFor([&] { return Json(Subscriber.Latest(StateTopic)).value("status_code").toInt() == 225; }));
    EXPECT_EQ(Json(Subscriber.Latest(StateTopic)).value("energy_today_wh").toInt(), 12400);
    EXPECT_TRUE(Json(Subscriber.Latest(StateTopic)).value("problem").toBool());
    EXPECT_EQ(Json(Subscriber.Latest(StateTopic)).value("status_text").toString(), QStringLiteral("Internal error"));
}

// Status reports whose serial number is garbled, or plausible but never seen twice in a row,
// make no device: the heater in use goes offline once and nothing else appears on the broker.
TEST_F(MqttTest, GarbledStatusReportsMakeNoDevice)
{
    auto bridge = StartBridge();
    ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
    ASSERT_TRUE(StateWithEnergy(12345));

    std::minstd_rand noise(20);
    const std::int32_t serials[] = {-1534983024, 18200001, 17090635, 18200001, 2147483647, 18210042, 0, 18200002,
                                    -17090634, 18220003, 18200001, 17540001};
    std::vector<unsigned char> script;
    for (const std::int32_t serial : serials) {
        std::vector<unsigned char> report(41);
        for (unsigned char &byte : report)
            byte = static_cast<unsigned char>(noise());
        report[0] = 0;
        for (int i = 0; i < 4; ++i)
            report[static_cast<std::size_t>(1 + i)] = static_cast<unsigned char>(static_cast<std::uint32_t>(serial) >> (24 - 8 * i));
        script.push_back(static_cast<unsigned char>(report.size()));
        script.insert(script.end(), report.begin(), report.end());
    }
    const int readsBefore = heatersim_feature_reads();
    heatersim_set_reply_script(script.data(), static_cast<int>(script.size()));
    // Every garbled report polled, and a few polls of a heater that no longer answers after them.
    ASSERT_TRUE(Subscriber.WaitFor([&] { return heatersim_feature_reads() >= readsBefore + std::ssize(serials) + 3; }));
    QTest::qWait(200);

    for (const auto &[topic, payload] : Subscriber.Messages())
        EXPECT_TRUE(topic.starts_with("helvane/1709-0634/") || topic.find("/helvane_1709-0634/") != std::string::npos || topic == BridgeTopic())
            << topic;
    std::vector<std::string> availability;
    for (const auto &[topic, payload] : Subscriber.Messages()) {
        if (topic == AvailabilityTopic)
            availability.push_back(payload);
    }
    EXPECT_EQ(availability, (std::vector<std::string>{"online", "offline"}));
    EXPECT_EQ(Json(Subscriber.Latest(StateTopic)).value("energy_today_wh").toInt(), 12345);
}

TEST(SerialConfirmation, TrustsAPlausibleSerialNumberSeenTwiceInARow)
{
    const struct {
        const char *Name;
        std::vector<std::optional<std::int32_t>> Reports;   // nullopt: a poll without a report
        std::vector<std::optional<std::int32_t>> Trusted;
    } cases[] = {
        {"twice in a row", {17090634, 17090634, 17090634}, {std::nullopt, 17090634, 17090634}},
        {"another between", {17090634, 18200001, 17090634}, {std::nullopt, std::nullopt, std::nullopt}},
        {"garbled between", {17090634, -1534983024, 17090634, 17090634}, {std::nullopt, std::nullopt, std::nullopt, 17090634}},
        {"a poll without a report between", {17090634, std::nullopt, 17090634}, {std::nullopt, std::nullopt, std::nullopt}},
        {"never plausible", {-1534983024, -1534983024, 17540001, 17540001}, {std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        {"a new heater", {17090634, 17090634, 18200001, 18200001}, {std::nullopt, 17090634, std::nullopt, 18200001}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TSerialConfirmation confirmation;
        std::vector<std::optional<std::int32_t>> trusted;
        for (const std::optional<std::int32_t> &report : c.Reports) {
            if (report) {
                trusted.push_back(confirmation.Report(*report));
            } else {
                confirmation.Missed();
                trusted.push_back(std::nullopt);
            }
        }
        EXPECT_EQ(trusted, c.Trusted);
    }
}

// The bridge as a process with these login options, stopped once it says whether the broker took
// it (or after 10 s): whether it did, with what it said.
testing::AssertionResult BridgeConnects(const TBroker &Broker, const QStringList &Login, bool Plugged = true)
{
    QProcess bridge;
    bridge.setProcessEnvironment(HeaterEnvironment(Plugged));
    bridge.start(QStringLiteral(HELVANE_CLI_FILE),
                 QStringList{QStringLiteral("mqtt"), QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(Broker.Port())} + Login);
    QByteArray said;
    const bool answered = QTest::qWaitFor([&] {
        said += bridge.readAllStandardError();
        return said.contains("Connected to the MQTT broker") || said.contains("No connection to the MQTT broker") ||
               bridge.state() == QProcess::NotRunning;
    }, 10000);
    const bool connected = answered && said.contains("Connected to the MQTT broker");
    bridge.terminate();
    bridge.waitForFinished(10000);
    said += bridge.readAllStandardError();
    if (!connected)
        return testing::AssertionFailure() << "exit code " << bridge.exitCode() << ", said: " << said.toStdString();
    if (bridge.state() != QProcess::NotRunning || bridge.exitCode() != 0)
        return testing::AssertionFailure() << "did not stop with 0 when told, said: " << said.toStdString();
    return testing::AssertionSuccess();
}

QString FileHolding(QTemporaryFile &File, const QByteArray &Content)
{
    EXPECT_TRUE(File.open());
    File.write(Content);
    File.close();
    return File.fileName();
}

TEST(MqttLogin, BridgeLogsInWithThePasswordFromItsFile)
{
    TBroker broker({QStringLiteral("heater:s3cret word")});
    QTemporaryFile password;
    const QStringList login{QStringLiteral("--username"), QStringLiteral("heater"), QStringLiteral("--password-file"),
                            FileHolding(password, "s3cret word\n")};
    EXPECT_TRUE(BridgeConnects(broker, login));
    // Without a heater, a good login and a wrong one show at start.
    EXPECT_TRUE(BridgeConnects(broker, login, false));
    QTemporaryFile wrong;
    const testing::AssertionResult refused = BridgeConnects(
        broker, {QStringLiteral("--username"), QStringLiteral("heater"), QStringLiteral("--password-file"), FileHolding(wrong, "guess\n")},
        false);
    EXPECT_FALSE(refused);
    EXPECT_TRUE(QString::fromUtf8(refused.message()).contains(QStringLiteral("No connection to the MQTT broker"))) << refused.message();
}

// The system service always names its credential, which is an empty line where the owner gave no
// password; the owner's options follow it, and a password file of their own wins.
TEST(MqttLogin, AnEmptyPasswordFileIsNoPasswordAndALaterOneWins)
{
    QTemporaryFile none;
    const QString noneFile = FileHolding(none, "\n");

    TBroker anonymous;
    EXPECT_TRUE(BridgeConnects(anonymous, {QStringLiteral("--password-file"), noneFile}));

    TBroker guarded({QStringLiteral("heater:s3cret word")});
    QTemporaryFile password;
    EXPECT_TRUE(BridgeConnects(guarded, {QStringLiteral("--password-file"), noneFile, QStringLiteral("--username"), QStringLiteral("heater"),
                                         QStringLiteral("--password-file"), FileHolding(password, "s3cret word\n")}));
    EXPECT_FALSE(BridgeConnects(guarded, {QStringLiteral("--password-file"), noneFile, QStringLiteral("--username"), QStringLiteral("heater")}));
}

}
