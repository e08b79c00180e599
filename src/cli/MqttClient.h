#pragma once

// A connection to an MQTT broker through libmosquitto, whose network loop runs on a thread of its
// own: it connects in the background, reconnects with a growing delay (1 s doubling up to 30 s)
// whenever the broker goes away, and leaves a last will that the broker publishes should the
// connection end without a goodbye.

#include "cli/Discovery.h"

#include <QObject>
#include <QString>

#include <functional>

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

class TMqttClient {
public:
    // Called on Context's thread, after the fact: Connected, or not with the broker's or the
    // system's reason.
    using TConnectionHandler = std::function<void(bool Connected, const QString &Reason)>;
    // Called on Context's thread with each message of a subscription.
    using TMessageHandler = std::function<void(const TMqttMessage &Message)>;

    TMqttClient(const TBrokerAddress &Broker, const TMqttLogin &Login, const QString &ClientId, const TMqttMessage &Will,
                QObject *Context, TConnectionHandler OnConnection, TMessageHandler OnMessage = {});
    // Says goodbye to the broker (the will is not published) after what was published before.
    ~TMqttClient();
    TMqttClient(const TMqttClient &) = delete;
    TMqttClient &operator=(const TMqttClient &) = delete;

    // QoS 1 and retained, or QoS 0 and retained: a message published while no connection is up
    // is dropped for QoS 0 and sent after the reconnect for QoS 1.
    void Publish(const TMqttMessage &Message, int Qos);
    // QoS 1; a subscription lasts as long as the connection: it is made again after a reconnect.
    void Subscribe(const QString &Topic);

private:
    static void Connected(mosquitto *Client, void *Self, int Result);
    static void Disconnected(mosquitto *Client, void *Self, int Result);
    static void Arrived(mosquitto *Client, void *Self, const struct mosquitto_message *Message);
    void Report(bool Connected, const QString &Reason);

    mosquitto *FClient = nullptr;
    QObject *FContext;
    TConnectionHandler FOnConnection;
    TMessageHandler FOnMessage;
};
