#include "Broker.h"
#include "HeaterProcess.h"

#include "cli/MqttBridge.h"
#include "heatersim.h"
#include "support/ExampleStatus.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";
const std::string StateTopic = "helvane/1709-0634/state";
const std::string AvailabilityTopic = "helvane/1709-0634/availability";

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

    std::unique_ptr<TMqttBridge> StartBridge()
    {
        TBridgeOptions options;
        options.Broker = {QStringLiteral("127.0.0.1"), Broker.Port()};
        options.PollIntervalMs = 50;
        auto bridge = std::make_unique<TMqttBridge>(options, Hid, Log);
        bridge->Start();
        return bridge;
    }

    // The state's energy, once the latest state carries it.
    bool StateWithEnergy(int Energy) const
    {
        return Subscriber.WaitFor([&] { return Json(Subscriber.Latest(StateTopic)).value("energy_today_wh").toInt() == Energy; });
    }

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

    heatersim_status changed = ExampleStatus();
    changed.energy = 12400;
    changed.state = 111;
    SetStatus(changed);
    ASSERT_TRUE(StateWithEnergy(12400));
    EXPECT_EQ(Json(Subscriber.Latest(StateTopic)).value("status_text").toString(), QStringLiteral("Nominal water temperature reached"));

    std::map<std::string, QJsonObject> configs;
    for (const auto &[topic, payload] : Subscriber.Latest()) {
        if (topic.starts_with("homeassistant/"))
            configs[topic] = Json(payload);
    }
    ASSERT_EQ(configs.size(), 21u);
    std::set<QString> uniqueIds;
    for (const auto &[topic, config] : configs) {
        SCOPED_TRACE(topic);
        EXPECT_TRUE(topic.starts_with("homeassistant/sensor/helvane_1709-0634/") && topic.ends_with("/config"));
        EXPECT_EQ(config.value("state_topic").toString().toStdString(), StateTopic);
        EXPECT_EQ(config.value("availability_topic").toString().toStdString(), AvailabilityTopic);
        EXPECT_EQ(config.value("device").toObject().value("identifiers").toArray().first().toString(), QStringLiteral("helvane_1709-0634"));
        EXPECT_EQ(config.value("device").toObject().value("sw_version").toString(), QStringLiteral("V1.10"));
        uniqueIds.insert(config.value("unique_id").toString());
        // Each configuration reads a value that the state carries.
        const QString key = config.value("value_template").toString().section(QLatin1Char('.'), 1).chopped(3);
        EXPECT_TRUE(state.contains(key)) << key.toStdString();
    }
    EXPECT_EQ(uniqueIds.size(), configs.size());

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

    bridge->Stop();
    EXPECT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
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
    later.energy = 777;
    SetStatus(later);
    QTest::qWait(300);
    EXPECT_GT(heatersim_feature_reads(), readsBefore + 2);

    Subscriber.Forget();
    Broker.Start();
    ASSERT_TRUE(StateWithEnergy(777));
    EXPECT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
    EXPECT_TRUE(Subscriber.WaitFor([&] { return Subscriber.Latest().size() == 23; }));
    for (const auto &[topic, payload] : Subscriber.Messages()) {
        if (topic == StateTopic) {
            EXPECT_EQ(Json(payload).value("energy_today_wh").toInt(), 777);
        }
    }
    EXPECT_TRUE(LogText.contains(QStringLiteral("went away")));
}

// The bridge as the service runs it: a stop request marks the heater offline and ends with 0;
// a bridge that is killed leaves it to its last will.
TEST_F(MqttTest, StoppedOrKilledBridgeLeavesTheHeaterOffline)
{
    const QStringList arguments{QStringLiteral("mqtt"), QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(Broker.Port())};

    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "stopped");
        QProcess bridge;
        bridge.setProcessEnvironment(HeaterEnvironment());
        bridge.start(QStringLiteral(HELVANE_CLI_FILE), arguments);
        ASSERT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "online"));
        if (killed) {
            bridge.kill();
        } else {
            bridge.terminate();
        }
        EXPECT_TRUE(Subscriber.WaitFor(AvailabilityTopic, "offline"));
        bridge.waitForFinished(10000);
        ASSERT_EQ(bridge.state(), QProcess::NotRunning);
        if (!killed) {
            EXPECT_EQ(bridge.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(bridge.exitCode(), 0);
        }
    }
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
        EXPECT_TRUE(topic.starts_with("helvane/1709-0634/") || topic.starts_with("homeassistant/sensor/helvane_1709-0634/")) << topic;
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
testing::AssertionResult BridgeConnects(const TBroker &Broker, const QStringList &Login)
{
    QProcess bridge;
    bridge.setProcessEnvironment(HeaterEnvironment());
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
    EXPECT_TRUE(BridgeConnects(broker, {QStringLiteral("--username"), QStringLiteral("heater"), QStringLiteral("--password-file"),
                                        FileHolding(password, "s3cret word\n")}));
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
