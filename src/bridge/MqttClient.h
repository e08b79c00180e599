#pragma once

// A connection to an MQTT broker through libmosquitto, whose network loop runs on a thread of its
// own: it connects in the background, reconnects with a growing delay (1 s doubling up to 30 s)
// whenever the broker goes away or cannot be connected to, TLS refused included, and leaves a
// last will that the broker publishes should the connection end without a goodbye. It speaks
// MQTT 5, so that each message says whether its publisher retained it, and MQTT 3.1.1 with a
// broker that knows no other.

#include "bridge/Discovery.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct mosquitto;

struct TBrokerAddress {
    QString Host;
    int Port = 1883;
};
// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT". Raises std::invalid_argument otherwise.
TBrokerAddress ParseBrokerAddress(const QString &Text);

struct TMqttLogin {
    QString Username;   // none when empty
    QString Password;
};

// TLS when CaFile is set: the broker's certificate must verify against that CA and name the host
// connected to. CertFile and KeyFile are the client's own certificate, for a broker that asks.
struct TMqttTls {
    QString CaFile;
    QString CertFile;
    QString KeyFile;
};

class TMqttClient {
public:
    // Called on Context's thread, after the fact: Connected, or not with the broker's or the
    // system's reason.
    using TConnectionHandler = std::function<void(bool Connected, const QString &Reason)>;
    // Called on Context's thread with each message of a subscription.
    using TMessageHandler = std::function<void(const TMqttMessage &Message)>;

    TMqttClient(const TBrokerAddress &Broker, const TMqttLogin &Login, const TMqttTls &Tls, const QString &ClientId,
                const TMqttMessage &Will, QObject *Context, TConnectionHandler OnConnection, TMessageHandler OnMessage = {});
    // Says goodbye to the broker (the will is not published) after what was published before.
    ~TMqttClient();
    TMqttClient(const TMqttClient &) = delete;
    TMqttClient &operator=(const TMqttClient &) = delete;

    // QoS 1 and retained, or QoS 0 and retained: a message published while no connection is up
    // is dropped for QoS 0 and sent after the reconnect for QoS 1.
    void Publish(const TMqttMessage &Message, int Qos);
    // QoS 1; a subscription lasts as long as the connection: it is made again after a reconnect.
    // Its messages keep the retain flag they were published with (with MQTT 3.1.1, only those
    // the broker kept from before the subscription carry it).
    void Subscribe(const QString &Topic);
    void Unsubscribe(const QString &Topic);

private:
    static void Connected(mosquitto *Client, void *Self, int Result);
    static void Disconnected(mosquitto *Client, void *Self, int Result);
    static void Arrived(mosquitto *Client, void *Self, const struct mosquitto_message *Message);
    static void Logged(mosquitto *Client, void *Self, int Level, const char *Text);
    void Run();
    QString Reason(const QString &Plain);
    QString LossReason(const QString &Plain);
    void Report(bool Connected, const QString &Reason);

    mosquitto *FClient = nullptr;
    QObject *FContext;
    TConnectionHandler FOnConnection;
    TMessageHandler FOnMessage;
    bool FUsesTls;
    std::atomic<bool> FVersion5{true};   // false once the broker refused MQTT 5
    std::mutex FSaidMutex;
    QStringList FSaid;   // the library's errors since the last report: why a TLS handshake failed
    std::mutex FStopMutex;
    std::condition_variable FStopRequested;
    bool FStopping = false;
    unsigned int FReconnectDelay;   // network thread only
    bool FLossSaid = false;         // network thread only: the disconnect callback reported the loss
    bool FAccepted = false;         // network thread only: the broker accepted the connection
    bool FVersionRefused = false;   // network thread only: the broker refused MQTT 5 just now
    std::thread FThread;
};
