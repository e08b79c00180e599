#include "Broker.h"
#include "HeaterProcess.h"

#include "bridge/MqttBridge.h"
#include "heatersim.h"
#include "support/CliRun.h"
#include "support/ExampleStatus.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";
const std::string StateTopic = "helvane/1709-0634/state";
const std::string AvailabilityTopic = "helvane/1709-0634/availability";

// CAs of the test's own and the certificates they sign, made by Debian's openssl as NAME.crt and
// NAME.key.
class TCertificates {
public:
    TCertificates()
    {
        for (const QString &ca : {QStringLiteral("ca"), QStringLiteral("other-ca")}) {
            Openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-days"), QStringLiteral("2"),
                     QStringLiteral("-subj"), QStringLiteral("/CN=helvane test %1").arg(ca)},
                    ca);
        }
        Sign(QStringLiteral("broker"), QStringLiteral("ca"), QStringLiteral("IP:127.0.0.1,DNS:localhost"));
        Sign(QStringLiteral("other-broker"), QStringLiteral("other-ca"), QStringLiteral("IP:127.0.0.1,DNS:localhost"));
        Sign(QStringLiteral("elsewhere"), QStringLiteral("ca"), QStringLiteral("DNS:elsewhere.invalid"));
        Sign(QStringLiteral("client"), QStringLiteral("ca"), QStringLiteral("DNS:heater-bridge"));
        Sign(QStringLiteral("stranger"), QStringLiteral("other-ca"), QStringLiteral("DNS:heater-bridge"));
        Run({QStringLiteral("pkey"), QStringLiteral("-in"), QStringLiteral("client.key"), QStringLiteral("-aes256"), QStringLiteral("-passout"),
             QStringLiteral("pass:s3cret"), QStringLiteral("-out"), QStringLiteral("client-encrypted.key")});
    }

    QString File(const QString &Name) const { return FDir.filePath(Name); }

private:
    // Subject: the names the certificate is for, as "IP:127.0.0.1,DNS:localhost".
    void Sign(const QString &Name, const QString &Ca, const QString &Subject)
    {
        Openssl({QStringLiteral("req"), QStringLiteral("-subj"), QStringLiteral("/CN=%1").arg(Name)}, Name, QStringLiteral(".csr"));
        QFile extensions(File(Name + QStringLiteral(".ext")));
        extensions.open(QIODevice::WriteOnly);
        extensions.write(QStringLiteral("subjectAltName=%1\n").arg(Subject).toUtf8());
        extensions.close();
        Run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), Name + QStringLiteral(".csr"), QStringLiteral("-CA"),
             Ca + QStringLiteral(".crt"), QStringLiteral("-CAkey"), Ca + QStringLiteral(".key"), QStringLiteral("-CAcreateserial"),
             QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"), Name + QStringLiteral(".ext"), QStringLiteral("-out"),
             Name + QStringLiteral(".crt")});
    }

    // A request with a new key: Name.key, and Name.crt self-signed or Name.csr to be signed.
    void Openssl(QStringList Arguments, const QString &Name, const QString &Output = QStringLiteral(".crt"))
    {
        Arguments << QStringLiteral("-newkey") << QStringLiteral("ec") << QStringLiteral("-pkeyopt")
                  << QStringLiteral("ec_paramgen_curve:prime256v1") << QStringLiteral("-nodes") << QStringLiteral("-keyout")
                  << Name + QStringLiteral(".key") << QStringLiteral("-out") << Name + Output;
        Run(Arguments);
    }

    void Run(const QStringList &Arguments)
    {
        QProcess openssl;
        openssl.setWorkingDirectory(FDir.path());
        openssl.start(QStringLiteral(OPENSSL_FILE), Arguments);
        if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
            throw std::runtime_error("openssl " + Arguments.join(QLatin1Char(' ')).toStdString() + ": " +
                                     openssl.readAllStandardError().toStdString());
    }

    QTemporaryDir FDir;
};

class MqttTlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        heatersim_reset();
        heatersim_plug_heater(HeaterPath, L"V1.10");
        const heatersim_status status = ExampleStatus();
        heatersim_set_status(&status);
    }

    // The broker presents Certificate and takes client certificates signed by ClientCa.
    TBrokerTls BrokerTls(const QString &Certificate, const QString &ClientCa = QStringLiteral("ca"), bool RequireCertificate = false) const
    {
        return {Certificates.File(ClientCa + QStringLiteral(".crt")), Certificates.File(Certificate + QStringLiteral(".crt")),
                Certificates.File(Certificate + QStringLiteral(".key")), RequireCertificate};
    }

    TMqttTls BridgeTls(const QString &Ca, const QString &Client = {}) const
    {
        if (Client.isEmpty())
            return {Certificates.File(Ca + QStringLiteral(".crt")), {}, {}};
        return {Certificates.File(Ca + QStringLiteral(".crt")), Certificates.File(Client + QStringLiteral(".crt")),
                Certificates.File(Client + QStringLiteral(".key"))};
    }

    // The bridge's command line with TLS files that all work.
    QStringList WorkingTlsArguments() const
    {
        return {QStringLiteral("mqtt"),   QStringLiteral("--broker"), QStringLiteral("127.0.0.1:8883"),
                QStringLiteral("--cafile"), Certificates.File(QStringLiteral("ca.crt")),
                QStringLiteral("--cert"), Certificates.File(QStringLiteral("client.crt")),
                QStringLiteral("--key"),  Certificates.File(QStringLiteral("client.key"))};
    }

    std::unique_ptr<TMqttBridge> StartBridge(const QString &Host, int Port, const TMqttTls &Tls, QTextStream &Log)
    {
        TBridgeOptions options;
        options.Broker = {Host, Port};
        options.Tls = Tls;
        options.PollIntervalMs = 50;
        auto bridge = std::make_unique<TMqttBridge>(options, Hid, Log);
        bridge->Start();
        return bridge;
    }

    // The line that says the bridge's TLS was refused for Reason, a pattern.
    static QString RefusedLine(int Port, const QString &Reason)
    {
        return QStringLiteral("(^|\n)No connection to the MQTT broker 127\\.0\\.0\\.1:%1 \\(%2\\); retrying\\.\n").arg(Port).arg(Reason);
    }

    // The broker's alert saying why it refused the client may be lost with the connection.
    static QString ClientRefused(const QString &Alert)
    {
        return QStringLiteral("the broker refused the TLS connection: (%1|Protocol error)").arg(Alert);
    }

    static bool StateArrived(const TSubscriber &Subscriber)
    {
        return Subscriber.WaitFor([&] {
            return QJsonDocument::fromJson(QByteArray::fromStdString(Subscriber.Latest(StateTopic))).object().value("energy_today_wh").toInt() ==
                   12345;
        });
    }

    TCertificates Certificates;
    TFHid Hid{QStringLiteral(HEATERSIM_FILE), nullptr};
};

// The broker's certificate verifies against the CA and names the host, by address or by name; a
// broker that asks for a client certificate gets one signed by the CA it takes.
TEST_F(MqttTlsTest, BridgeConnectsByTlsToABrokerWhoseCertificateVerifies)
{
    const struct {
        const char *Name;
        QString Host;
        bool RequireCertificate;
        QString Client;
    } cases[] = {
        {"by address", QStringLiteral("127.0.0.1"), false, {}},
        {"by name", QStringLiteral("localhost"), false, {}},
        {"with the client certificate the broker asks for", QStringLiteral("127.0.0.1"), true, QStringLiteral("client")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TBroker broker({}, BrokerTls(QStringLiteral("broker"), QStringLiteral("ca"), c.RequireCertificate));
        TSubscriber subscriber(broker.PlainPort());
        QString said;
        QTextStream log(&said);
        auto bridge = StartBridge(c.Host, broker.Port(), BridgeTls(QStringLiteral("ca"), c.Client), log);
        EXPECT_TRUE(subscriber.WaitFor(AvailabilityTopic, "online")) << broker.Said().toStdString();
        EXPECT_TRUE(StateArrived(subscriber));
        EXPECT_TRUE(said.contains(QStringLiteral("Connected to the MQTT broker %1:%2.").arg(c.Host).arg(broker.Port())))
            << said.toStdString();
        EXPECT_FALSE(said.contains(QStringLiteral("No connection"))) << said.toStdString();
        bridge->Stop();
        EXPECT_TRUE(subscriber.WaitFor(AvailabilityTopic, "offline"));
    }
}

// A refused TLS handshake is said once, with why, and tried again as a broker that is away, also
// where it fails after the handshake: once the broker is set right, the bridge connects by itself.
TEST_F(MqttTlsTest, RefusedTlsIsSaidAndTriedAgainUntilTheBrokerIsSetRight)
{
    const struct {
        const char *Name;
        TBrokerTls Refused;
        TBrokerTls Right;
        TMqttTls Bridge;
        QString Reason;   // a pattern
    } cases[] = {
        {"a CA that did not sign the broker's certificate", BrokerTls(QStringLiteral("broker")), BrokerTls(QStringLiteral("other-broker")),
         BridgeTls(QStringLiteral("other-ca")), QStringLiteral("the broker's certificate was refused: certificate verify failed")},
        {"a broker's certificate for another host", BrokerTls(QStringLiteral("elsewhere")), BrokerTls(QStringLiteral("broker")),
         BridgeTls(QStringLiteral("ca")), QStringLiteral("the broker's certificate was refused: host name verification failed")},
        {"no client certificate", BrokerTls(QStringLiteral("broker"), QStringLiteral("ca"), true), BrokerTls(QStringLiteral("broker")),
         BridgeTls(QStringLiteral("ca")), ClientRefused(QStringLiteral("tlsv13 alert certificate required"))},
        {"a client certificate from another CA", BrokerTls(QStringLiteral("broker"), QStringLiteral("ca"), true),
         BrokerTls(QStringLiteral("broker"), QStringLiteral("other-ca"), true), BridgeTls(QStringLiteral("ca"), QStringLiteral("stranger")),
         ClientRefused(QStringLiteral("tlsv1 alert unknown ca"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TBroker broker({}, c.Refused);
        TSubscriber subscriber(broker.PlainPort());
        QString said;
        QTextStream log(&said);
        auto bridge = StartBridge(QStringLiteral("127.0.0.1"), broker.Port(), c.Bridge, log);
        const QRegularExpression refused(RefusedLine(broker.Port(), c.Reason));
        ASSERT_TRUE(QTest::qWaitFor([&] { return said.contains(refused); }, 10000)) << said.toStdString();
        // Tried again after the refusal, and refused again.
        EXPECT_TRUE(QTest::qWaitFor([&] { return broker.Said().count(QStringLiteral("OpenSSL Error")) >= 2; }, 10000))
            << broker.Said().toStdString();
        EXPECT_FALSE(bridge->BrokerConnected());
        EXPECT_EQ(subscriber.Latest(AvailabilityTopic), "");

        broker.Restart(c.Right);
        EXPECT_TRUE(subscriber.WaitFor(AvailabilityTopic, "online", 20000));
        EXPECT_TRUE(StateArrived(subscriber));
        EXPECT_TRUE(bridge->BrokerConnected());
        EXPECT_EQ(said.count(QStringLiteral("No connection")), 1) << said.toStdString();
        EXPECT_TRUE(said.endsWith(QStringLiteral("Connected to the MQTT broker 127.0.0.1:%1.\n").arg(broker.Port()))) << said.toStdString();
    }
}

// The tool as the service runs it: --cert and --key (or the service's credential of the key) are
// what let the bridge in where the broker asks for a client certificate.
TEST_F(MqttTlsTest, BridgeProcessShowsItsClientCertificateWhereTheBrokerAsksForOne)
{
    TBroker broker({}, BrokerTls(QStringLiteral("broker"), QStringLiteral("ca"), true));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(broker.Port());
    const struct {
        const char *Name;
        QStringList Arguments;
        QString Said;   // a pattern
        bool Credential = false;   // the key is the service's credential
    } cases[] = {
        {"with --cert and --key",
         {QStringLiteral("--cert"), Certificates.File(QStringLiteral("client.crt")), QStringLiteral("--key"),
          Certificates.File(QStringLiteral("client.key"))},
         QStringLiteral("\nConnected to the MQTT broker 127\\.0\\.0\\.1:%1\\.\n").arg(broker.Port())},
        {"with --cert and the key as the service's credential",
         {QStringLiteral("--cert"), Certificates.File(QStringLiteral("client.crt"))},
         QStringLiteral("\nConnected to the MQTT broker 127\\.0\\.0\\.1:%1\\.\n").arg(broker.Port()),
         true},
        {"without them", {}, RefusedLine(broker.Port(), ClientRefused(QStringLiteral("tlsv13 alert certificate required")))},
    };
    // The service manager's copy of the key, readable by the service alone.
    QTemporaryDir credentials;
    ASSERT_TRUE(QFile::copy(Certificates.File(QStringLiteral("client.key")), credentials.filePath(QStringLiteral("mqtt-client.key"))));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        QProcessEnvironment environment = HeaterEnvironment();
        if (c.Credential)
            environment.insert(QStringLiteral("CREDENTIALS_DIRECTORY"), credentials.path());
        QProcess bridge;
        bridge.setProcessEnvironment(environment);
        bridge.start(QStringLiteral(HELVANE_CLI_FILE), QStringList{QStringLiteral("mqtt"), QStringLiteral("--broker"), address,
                                                                   QStringLiteral("--cafile"), Certificates.File(QStringLiteral("ca.crt"))} +
                                                           c.Arguments);
        QString said;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            said += QString::fromUtf8(bridge.readAllStandardError());
            return said.contains(QRegularExpression(c.Said));
        }, 10000)) << said.toStdString();
        bridge.terminate();
        bridge.waitForFinished(10000);
        EXPECT_EQ(bridge.state(), QProcess::NotRunning);
        EXPECT_EQ(bridge.exitCode(), 0);
    }
}

// Without a heater, a broker whose certificate the CA does not vouch for shows at start.
TEST_F(MqttTlsTest, RefusedCertificateShowsWithoutAHeater)
{
    TBroker broker({}, BrokerTls(QStringLiteral("broker")));
    QProcess bridge;
    bridge.setProcessEnvironment(HeaterEnvironment(false));
    bridge.start(QStringLiteral(HELVANE_CLI_FILE),
                 {QStringLiteral("mqtt"), QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.Port()),
                  QStringLiteral("--cafile"), Certificates.File(QStringLiteral("other-ca.crt"))});
    QString said;
    const QRegularExpression refused(RefusedLine(broker.Port(), QStringLiteral("the broker's certificate was refused: certificate verify failed")));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        said += QString::fromUtf8(bridge.readAllStandardError());
        return said.contains(refused);
    }, 10000)) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("No heater found"))) << said.toStdString();
    bridge.terminate();
    bridge.waitForFinished(10000);
    EXPECT_EQ(bridge.exitCode(), 0);
}

// Before any heater or broker: a TLS file that cannot be read is named.
TEST_F(MqttTlsTest, UnreadableTlsFileIsNamedAtStart)
{
    const QString missing = Certificates.File(QStringLiteral("missing.pem"));
    const struct {
        const char *Option;
        QString Said;
    } cases[] = {
        {"--cafile", QStringLiteral("helvane-cli: Cannot read the CA file \"%1\": No such file or directory\n").arg(missing)},
        {"--cert", QStringLiteral("helvane-cli: Cannot read the certificate file \"%1\": No such file or directory\n").arg(missing)},
        {"--key", QStringLiteral("helvane-cli: Cannot read the key file \"%1\": No such file or directory\n").arg(missing)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Option);
        QStringList arguments = WorkingTlsArguments();
        arguments[arguments.indexOf(QLatin1String(c.Option)) + 1] = missing;
        const TCliRun run = RunCliWith(arguments, QDateTime::currentDateTime(), TLocaleFormats());
        EXPECT_EQ(run.Code, ExitError);
        EXPECT_EQ(run.Err, c.Said);
    }
}

// Faults of the TLS files that cannot heal end the bridge with 1 and one message, before any
// heater or broker.
TEST_F(MqttTlsTest, FaultyTlsFilesEndTheBridge)
{
    const struct {
        const char *Option;
        const char *File;
        QString Said;
    } cases[] = {
        {"--cafile", "client.key", QStringLiteral("The CA file \"%1\" holds no certificate (PEM).")},
        {"--cert", "client.key", QStringLiteral("The certificate file \"%1\" holds no certificate (PEM).")},
        {"--key", "client-encrypted.key", QStringLiteral("The key file \"%1\" is encrypted: the bridge needs the key without a password.")},
        {"--key", "client.crt", QStringLiteral("The key file \"%1\" holds no private key (PEM).")},
        {"--key", "stranger.key", QStringLiteral("The key file \"%1\" does not belong to the certificate \"%2\".")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Option) + " " + c.File);
        QStringList arguments = WorkingTlsArguments();
        const QString file = Certificates.File(QString::fromLatin1(c.File));
        arguments[arguments.indexOf(QLatin1String(c.Option)) + 1] = file;
        QProcess bridge;
        bridge.setProcessEnvironment(HeaterEnvironment(false));
        bridge.start(QStringLiteral(HELVANE_CLI_FILE), arguments);
        const bool ended = bridge.waitForFinished(10000);
        if (!ended) {
            bridge.kill();
            bridge.waitForFinished();
        }
        ASSERT_TRUE(ended);
        EXPECT_EQ(bridge.exitCode(), ExitError);
        const QString said = c.Said.contains(QLatin1String("%2")) ? c.Said.arg(file, Certificates.File(QStringLiteral("client.crt")))
                                                                   : c.Said.arg(file);
        EXPECT_EQ(QString::fromUtf8(bridge.readAllStandardError()), QStringLiteral("helvane-cli: ") + said + QLatin1Char('\n'));
    }
}

}
