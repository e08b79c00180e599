#pragma once

// A mosquitto broker of the test's own on a free port of 127.0.0.1, and a subscriber that keeps
// what it receives.

#include <QDir>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <mosquitto.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A TLS listener: the broker's certificate and key, and the CA that client certificates must be
// signed by.
struct TBrokerTls {
    QString CaFile;
    QString CertFile;
    QString KeyFile;
    bool RequireCertificate = false;
};

class TBroker {
public:
    // Users: "name:password" pairs; with any, anonymous clients are refused. With Tls, Port() is a
    // TLS listener and PlainPort() a plain one for the test's subscriber. Persistent: retained
    // messages are saved at each change and outlive a restart, also a killed broker's.
    explicit TBroker(const QStringList &Users = {}, const std::optional<TBrokerTls> &Tls = std::nullopt, bool Persistent = false)
        : FTls(Tls), FPersistent(Persistent)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        QTcpServer plainProbe;
        plainProbe.listen(QHostAddress::LocalHost, 0);
        FPort = probe.serverPort();
        FPlainPort = FTls ? plainProbe.serverPort() : FPort;
        probe.close();
        plainProbe.close();
        if (!Users.isEmpty()) {
            FPasswords = FDir.filePath(QStringLiteral("passwords"));
            for (const QString &user : Users)
                QProcess::execute(QStringLiteral(MOSQUITTO_PASSWD_FILE),
                                  {QStringLiteral("-b"), QStringLiteral("-c"), FPasswords, user.section(QLatin1Char(':'), 0, 0),
                                   user.section(QLatin1Char(':'), 1)});
        }
        WriteConfig();
        Start();
    }
    ~TBroker() { Stop(); }

    int Port() const { return FPort; }
    int PlainPort() const { return FPlainPort; }

    // Starts again with other TLS files on the same ports.
    void Restart(const TBrokerTls &Tls)
    {
        Stop();
        FTls = Tls;
        WriteConfig();
        Start();
    }

    // What the broker logged since it was made: a line for each connection, with why one failed.
    QString Said()
    {
        FSaid += QString::fromUtf8(FProcess.readAllStandardError());
        return FSaid;
    }

    // Returns once the broker takes connections.
    void Start()
    {
        FProcess.start(QStringLiteral(MOSQUITTO_FILE), {QStringLiteral("-c"), FDir.filePath(QStringLiteral("mosquitto.conf"))});
        const auto takes = [](int Port) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(Port));
            return socket.waitForConnected(100);
        };
        const bool listening = QTest::qWaitFor([&] { return takes(FPort) && takes(FPlainPort); }, 10000);
        if (!listening)
            throw std::runtime_error("mosquitto does not take connections: " + FProcess.readAllStandardError().toStdString());
    }

    void Stop()
    {
        FProcess.kill();
        FProcess.waitForFinished();
        Said();
    }

private:
    // Run as root, the broker would read its password file as the user mosquitto, who may not
    // enter the test's folder.
    void WriteConfig()
    {
        QString config = QStringLiteral("user root\nlog_dest stderr\n");
        if (FPasswords.isEmpty())
            config += QStringLiteral("allow_anonymous true\n");
        else
            config += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(FPasswords);
        if (FPersistent)
            config += QStringLiteral("persistence true\npersistence_location %1/\nautosave_on_changes true\nautosave_interval 1\n").arg(FDir.path());
        config += QStringLiteral("listener %1 127.0.0.1\n").arg(FPort);
        if (FTls) {
            config += QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\nrequire_certificate %4\nlistener %5 127.0.0.1\n")
                          .arg(FTls->CaFile, FTls->CertFile, FTls->KeyFile,
                               FTls->RequireCertificate ? QStringLiteral("true") : QStringLiteral("false"))
                          .arg(FPlainPort);
        }
        QFile file(FDir.filePath(QStringLiteral("mosquitto.conf")));
        file.open(QIODevice::WriteOnly);
        file.write(config.toUtf8());
        file.close();
    }

    QTemporaryDir FDir;
    QProcess FProcess;
    QString FPasswords;
    std::optional<TBrokerTls> FTls;
    bool FPersistent = false;
    QString FSaid;
    int FPort = 0;
    int FPlainPort = 0;
};

class TSubscriber {
public:
    explicit TSubscriber(int Port)
    {
        mosquitto_lib_init();
        FClient = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(FClient, [](mosquitto *Client, void *, int) {
            mosquitto_subscribe(Client, nullptr, "#", 1);
        });
        mosquitto_message_callback_set(FClient, [](mosquitto *, void *Self, const mosquitto_message *Message) {
            auto *self = static_cast<TSubscriber *>(Self);
            const std::lock_guard lock(self->FMutex);
            self->FMessages.push_back(
                {Message->topic, std::string(static_cast<const char *>(Message->payload), static_cast<std::size_t>(Message->payloadlen))});
        });
        mosquitto_connect_async(FClient, "127.0.0.1", Port, 10);
        mosquitto_loop_start(FClient);
    }
    ~TSubscriber()
    {
        mosquitto_disconnect(FClient);
        mosquitto_loop_stop(FClient, false);
        mosquitto_destroy(FClient);
    }

    // QoS 1, as Home Assistant sends commands; returns once the message is on its way.
    void Publish(const std::string &Topic, const std::string &Payload, bool Retain = false)
    {
        mosquitto_publish(FClient, nullptr, Topic.c_str(), static_cast<int>(Payload.size()), Payload.data(), 1, Retain);
    }

    using TMessages = std::vector<std::pair<std::string, std::string>>;
    TMessages Messages() const
    {
        const std::lock_guard lock(FMutex);
        return FMessages;
    }
    void Forget()
    {
        const std::lock_guard lock(FMutex);
        FMessages.clear();
    }
    // The last payload of each topic.
    std::map<std::string, std::string> Latest() const
    {
        std::map<std::string, std::string> latest;
        for (const auto &[topic, payload] : Messages())
            latest[topic] = payload;
        return latest;
    }
    std::string Latest(const std::string &Topic) const
    {
        const auto latest = Latest();
        const auto found = latest.find(Topic);
        return found == latest.end() ? std::string() : found->second;
    }
    // Waits, letting this thread's events through, until the topic's last payload is Payload.
    bool WaitFor(const std::string &Topic, const std::string &Payload, int TimeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return Latest(Topic) == Payload; }, TimeoutMs);
    }
    bool WaitFor(const std::function<bool()> &Condition, int TimeoutMs = 10000) const
    {
        return QTest::qWaitFor(Condition, TimeoutMs);
    }

private:
    mosquitto *FClient = nullptr;
    mutable std::mutex FMutex;
    TMessages FMessages;
};
