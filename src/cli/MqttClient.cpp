#include "cli/MqttClient.h"

#include <QMetaObject>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace {

constexpr int KeepAliveSeconds = 30;
constexpr unsigned int FirstReconnectDelay = 1;
constexpr unsigned int LongestReconnectDelay = 30;

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

TMqttClient::TMqttClient(const TBrokerAddress &Broker, const TMqttLogin &Login, const QString &ClientId,
                         const TMqttMessage &Will, QObject *Context, TConnectionHandler OnConnection,
                         TMessageHandler OnMessage)
    : FContext(Context), FOnConnection(std::move(OnConnection)), FOnMessage(std::move(OnMessage))
{
    InitLibrary();
    FClient = mosquitto_new(ClientId.toUtf8().constData(), true, this);
    if (!FClient)
        throw std::runtime_error("Cannot create the MQTT client");
    try {
        Require(mosquitto_will_set(FClient, Will.Topic.toUtf8().constData(), static_cast<int>(Will.Payload.size()),
                                   Will.Payload.constData(), 1, true),
                "MQTT last will");
        if (!Login.Username.isEmpty()) {
            Require(mosquitto_username_pw_set(FClient, Login.Username.toUtf8().constData(),
                                              Login.Password.isEmpty() ? nullptr : Login.Password.toUtf8().constData()),
                    "MQTT login");
        }
        Require(mosquitto_reconnect_delay_set(FClient, FirstReconnectDelay, LongestReconnectDelay, true), "MQTT reconnect delay");
        mosquitto_connect_callback_set(FClient, &TMqttClient::Connected);
        mosquitto_disconnect_callback_set(FClient, &TMqttClient::Disconnected);
        mosquitto_message_callback_set(FClient, &TMqttClient::Arrived);
        // A broker that is not there yet is no error: the loop keeps trying.
        const int result = mosquitto_connect_async(FClient, Broker.Host.toUtf8().constData(), Broker.Port, KeepAliveSeconds);
        if (result == MOSQ_ERR_ERRNO)
            Report(false, QString::fromLocal8Bit(std::strerror(errno)));
        else
            Require(result, "MQTT broker");
        Require(mosquitto_loop_start(FClient), "MQTT network loop");
    } catch (...) {
        mosquitto_destroy(FClient);
        throw;
    }
}

TMqttClient::~TMqttClient()
{
    mosquitto_disconnect(FClient);
    mosquitto_loop_stop(FClient, false);
    mosquitto_destroy(FClient);
}

void TMqttClient::Publish(const TMqttMessage &Message, int Qos)
{
    mosquitto_publish(FClient, nullptr, Message.Topic.toUtf8().constData(), static_cast<int>(Message.Payload.size()),
                      Message.Payload.constData(), Qos, true);
}

void TMqttClient::Subscribe(const QString &Topic)
{
    mosquitto_subscribe(FClient, nullptr, Topic.toUtf8().constData(), 1);
}

void TMqttClient::Connected(mosquitto *, void *Self, int Result)
{
    static_cast<TMqttClient *>(Self)->Report(Result == 0, QString::fromUtf8(mosquitto_connack_string(Result)));
}

void TMqttClient::Disconnected(mosquitto *, void *Self, int Result)
{
    static_cast<TMqttClient *>(Self)->Report(false, QString::fromUtf8(mosquitto_strerror(Result)));
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
                         QByteArray(static_cast<const char *>(Message->payload), Message->payloadlen)};
    QMetaObject::invokeMethod(client->FContext, [Handler = client->FOnMessage, message] { Handler(message); },
                              Qt::QueuedConnection);
}
