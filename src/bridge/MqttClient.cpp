#include "bridge/MqttClient.h"

#include "bridge/TlsFiles.h"

#include <QFile>
#include <QMetaObject>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace {

constexpr int KeepAliveSeconds = 30;
constexpr unsigned int FirstReconnectDelay = 1;
constexpr unsigned int LongestReconnectDelay = 30;
constexpr int VerifyPeer = 1;   // OpenSSL's SSL_VERIFY_PEER

// What the library logs on a refused certificate, the more telling first.
const QString HostNameRefusal = QStringLiteral("host name verification failed");
const QString CertificateRefusal = QStringLiteral("certificate verify failed");

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

void Require(int Result, const char *What)
{
    if (Result != MOSQ_ERR_SUCCESS)
        throw std::runtime_error(std::string(What) + ": " + mosquitto_strerror(Result));
}

// Read at once after the call that failed, while errno is its.
QString ErrorText(int Result)
{
    return Result == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno)) : QString::fromUtf8(mosquitto_strerror(Result));
}

// Null for no file.
QByteArray FileName(const QString &Name)
{
    return Name.isEmpty() ? QByteArray() : QFile::encodeName(Name);
}

const char *OrNull(const QByteArray &Text)
{
    return Text.isNull() ? nullptr : Text.constData();
}

// A key file that wants a password fails to load instead of asking on a terminal that a service
// does not have.
int NoKeyPassword(char *, int, int, void *)
{
    return 0;
}

int ParsePort(const QString &Text)
{
    bool ok = false;
    const int port = Text.toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        throw std::invalid_argument(QStringLiteral("\"%1\" is no port number (1 to 65535)").arg(Text).toStdString());
    return port;
}

}

TBrokerAddress ParseBrokerAddress(const QString &Text)
{
    TBrokerAddress address;
    QString portText;
    if (Text.startsWith(QLatin1Char('['))) {
        const qsizetype end = Text.indexOf(QLatin1Char(']'));
        if (end < 0 || (end + 1 < Text.size() && Text.at(end + 1) != QLatin1Char(':')))
            throw std::invalid_argument(QStringLiteral("\"%1\" is no broker address").arg(Text).toStdString());
        address.Host = Text.mid(1, end - 1);
        if (end + 1 < Text.size())
            portText = Text.mid(end + 2);
    } else if (Text.count(QLatin1Char(':')) == 1) {
        address.Host = Text.section(QLatin1Char(':'), 0, 0);
        portText = Text.section(QLatin1Char(':'), 1);
    } else {
        address.Host = Text;
    }
    if (address.Host.isEmpty())
        throw std::invalid_argument(QStringLiteral("\"%1\" names no broker host").arg(Text).toStdString());
    if (!portText.isNull())
        address.Port = ParsePort(portText);
    return address;
}

TMqttClient::TMqttClient(const TBrokerAddress &Broker, const TMqttLogin &Login, const TMqttTls &Tls, const QString &ClientId,
                         const TMqttMessage &Will, QObject *Context, TConnectionHandler OnConnection,
                         TMessageHandler OnMessage)
    : FContext(Context), FOnConnection(std::move(OnConnection)), FOnMessage(std::move(OnMessage)), FUsesTls(!Tls.CaFile.isEmpty()),
      FReconnectDelay(FirstReconnectDelay)
{
    CheckTlsFiles(Tls);
    InitLibrary();
    FClient = mosquitto_new(ClientId.toUtf8().constData(), true, this);
    if (!FClient)
        throw std::runtime_error("Cannot create the MQTT client");
    try {
        Require(mosquitto_int_option(FClient, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5), "MQTT version");
        Require(mosquitto_will_set(FClient, Will.Topic.toUtf8().constData(), static_cast<int>(Will.Payload.size()),
                                   Will.Payload.constData(), 1, true),
                "MQTT last will");
        if (!Login.Username.isEmpty()) {
            Require(mosquitto_username_pw_set(FClient, Login.Username.toUtf8().constData(),
                                              Login.Password.isEmpty() ? nullptr : Login.Password.toUtf8().constData()),
                    "MQTT login");
        }
        if (FUsesTls) {
            // The files are read at each connection; here the library only checks that they open.
            const QByteArray caFile = FileName(Tls.CaFile);
            const QByteArray certFile = FileName(Tls.CertFile);
            const QByteArray keyFile = FileName(Tls.KeyFile);
            Require(mosquitto_tls_set(FClient, caFile.constData(), nullptr, OrNull(certFile), OrNull(keyFile), &NoKeyPassword),
                    "MQTT TLS files");
            Require(mosquitto_tls_opts_set(FClient, VerifyPeer, nullptr, nullptr), "MQTT TLS options");
            Require(mosquitto_tls_insecure_set(FClient, false), "MQTT TLS host name check");
        }
        Require(mosquitto_threaded_set(FClient, true), "MQTT network thread");
        mosquitto_connect_callback_set(FClient, &TMqttClient::Connected);
        mosquitto_disconnect_callback_set(FClient, &TMqttClient::Disconnected);
        mosquitto_message_callback_set(FClient, &TMqttClient::Arrived);
        mosquitto_log_callback_set(FClient, &TMqttClient::Logged);
        // A broker that is not there yet, or whose certificate is refused, is no error: the loop
        // keeps trying.
        const int result = mosquitto_connect_async(FClient, Broker.Host.toUtf8().constData(), Broker.Port, KeepAliveSeconds);
        if (result == MOSQ_ERR_ERRNO || result == MOSQ_ERR_TLS)
            Report(false, Reason(ErrorText(result)));
        else
            Require(result, "MQTT broker");
        FThread = std::thread([this] { Run(); });
    } catch (...) {
        mosquitto_destroy(FClient);
        throw;
    }
}

TMqttClient::~TMqttClient()
{
    {
        const std::lock_guard lock(FStopMutex);
        FStopping = true;
    }
    FStopRequested.notify_all();
    mosquitto_disconnect(FClient);
    FThread.join();
    mosquitto_destroy(FClient);
}

// The network thread. libmosquitto's own loop gives up for good on some failures, a TLS
// handshake that fails once connected among them; this one goes on as for a broker that is away,
// and ends once a goodbye has been said.
void TMqttClient::Run()
{
    for (;;) {
        const int lost = mosquitto_loop(FClient, -1, 1);
        if (lost == MOSQ_ERR_SUCCESS)
            continue;
        const QString lostText = ErrorText(lost);
        // A TLS handshake that fails in the loop ends the connection without a disconnect callback.
        if (!std::exchange(FLossSaid, false) && lost != MOSQ_ERR_NO_CONN)
            Report(false, LossReason(lostText));
        {
            std::unique_lock lock(FStopMutex);
            if (FStopRequested.wait_for(lock, std::chrono::seconds(FReconnectDelay), [this] { return FStopping; }))
                return;
        }
        FReconnectDelay = std::min(2 * FReconnectDelay, LongestReconnectDelay);
        const int result = mosquitto_reconnect(FClient);
        const QString reason = result == MOSQ_ERR_SUCCESS ? QString() : Reason(ErrorText(result));
        bool stopping;
        {
            const std::lock_guard lock(FStopMutex);
            stopping = FStopping;
        }
        if (stopping)
            mosquitto_disconnect(FClient);   // the goodbye asked for while connecting may be lost
        else if (result != MOSQ_ERR_SUCCESS)
            Report(false, reason);
    }
}

void TMqttClient::Publish(const TMqttMessage &Message, int Qos)
{
    mosquitto_publish(FClient, nullptr, Message.Topic.toUtf8().constData(), static_cast<int>(Message.Payload.size()),
                      Message.Payload.constData(), Qos, true);
}

void TMqttClient::Subscribe(const QString &Topic)
{
    mosquitto_subscribe_v5(FClient, nullptr, Topic.toUtf8().constData(), 1, FVersion5 ? MQTT_SUB_OPT_RETAIN_AS_PUBLISHED : 0, nullptr);
}

// A broker that knows only MQTT 3.1.1 is asked again in its version at the next attempt.
void TMqttClient::Unsubscribe(const QString &Topic)
{
    mosquitto_unsubscribe(FClient, nullptr, Topic.toUtf8().constData());
}

void TMqttClient::Connected(mosquitto *Client, void *Self, int Result)
{
    auto *self = static_cast<TMqttClient *>(Self);
    if (Result == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION && self->FVersion5.exchange(false)) {
        mosquitto_int_option(Client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        self->FReconnectDelay = FirstReconnectDelay;
        self->FVersionRefused = true;
        return;
    }
    if (Result == 0) {
        self->FReconnectDelay = FirstReconnectDelay;
        self->FAccepted = true;
        self->Reason({});   // what failed attempts logged is past
    }
    self->Report(Result == 0, QString::fromUtf8(self->FVersion5 ? mosquitto_reason_string(Result) : mosquitto_connack_string(Result)));
}

void TMqttClient::Disconnected(mosquitto *, void *Self, int Result)
{
    auto *self = static_cast<TMqttClient *>(Self);
    self->FLossSaid = true;
    if (std::exchange(self->FVersionRefused, false))
        return;   // no loss to tell: the next attempt speaks the broker's version
    self->Report(false, self->LossReason(ErrorText(Result)));
}

// The library tells why a TLS handshake failed only in its log, as
// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed" or
// "Error: host name verification failed.".
void TMqttClient::Logged(mosquitto *, void *Self, int Level, const char *Text)
{
    if (Level != MOSQ_LOG_ERR)
        return;
    QString said = QString::fromUtf8(Text);
    if (said.startsWith(QLatin1String("OpenSSL Error")))
        said = said.section(QLatin1Char(':'), -1).trimmed();
    else if (said.startsWith(QLatin1String("Error: ")))
        said = said.mid(7);
    if (said.endsWith(QLatin1Char('.')))
        said.chop(1);
    auto *self = static_cast<TMqttClient *>(Self);
    const std::lock_guard lock(self->FSaidMutex);
    if (!said.isEmpty() && !self->FSaid.contains(said))
        self->FSaid.append(said);
}

// What the library logged since the last report says more than its error code.
QString TMqttClient::Reason(const QString &Plain)
{
    QStringList said;
    {
        const std::lock_guard lock(FSaidMutex);
        said.swap(FSaid);
    }
    for (const QString &refusal : {HostNameRefusal, CertificateRefusal}) {
        if (said.contains(refusal))
            return QStringLiteral("the broker's certificate was refused: %1").arg(refusal);
    }
    // As "tlsv13 alert certificate required": what the broker answered.
    const QStringList alerts = said.filter(QStringLiteral(" alert "));
    if (!alerts.isEmpty())
        return QStringLiteral("the broker refused the TLS connection: %1").arg(alerts.join(QStringLiteral("; ")));
    if (!said.isEmpty())
        return QStringLiteral("TLS failed: %1").arg(said.join(QStringLiteral("; ")));
    return Plain;
}

// A broker that ends a TLS connection before accepting it has refused it, also when the alert
// that says why is lost with the connection.
QString TMqttClient::LossReason(const QString &Plain)
{
    const bool refused = FUsesTls && !std::exchange(FAccepted, false);
    const QString reason = Reason(Plain);
    return refused && reason == Plain ? QStringLiteral("the broker refused the TLS connection: %1").arg(Plain) : reason;
}

// Runs on the network thread: the handler is passed to the context's thread.
void TMqttClient::Report(bool Connected, const QString &Reason)
{
    QMetaObject::invokeMethod(FContext, [Handler = FOnConnection, Connected, Reason] { Handler(Connected, Reason); },
                              Qt::QueuedConnection);
}

// Runs on the network thread, like Report.
void TMqttClient::Arrived(mosquitto *, void *Self, const struct mosquitto_message *Message)
{
    auto *client = static_cast<TMqttClient *>(Self);
    if (!client->FOnMessage)
        return;
    TMqttMessage message{QString::fromUtf8(Message->topic),
                         QByteArray(static_cast<const char *>(Message->payload), Message->payloadlen), Message->retain};
    QMetaObject::invokeMethod(client->FContext, [Handler = client->FOnMessage, message] { Handler(message); },
                              Qt::QueuedConnection);
}
