#pragma once
// One connection to an MQTT broker, driven by the Qt event loop of the thread it lives in:
// the socket's read and write readiness call the library's read and write steps, and a
// keep-alive timer its housekeeping. A lost or refused connection is reported with the
// reason and tried again after a growing pause, until Stop. Each attempt uses a fresh
// library client, so that nothing the library queued for an earlier connection is sent
// twice behind the owner's back: the owner resends what was not acknowledged.

#include "mqtt_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

struct mosquitto;
class QSocketNotifier;

namespace karvel {

struct TMqttClientConfig {
    TMqttSettings settings;
    QString clientId;
    QString willTopic; // retained, QoS 1
    QByteArray willPayload;
    int keepAliveS = 30;
    int maxInflight = 1000;
    int connectTimeoutMs = 10000;
    int retryMinMs = 500;
    int retryMaxMs = 10000;
};

class TMqttClient : public QObject {
    Q_OBJECT
public:
    explicit TMqttClient(TMqttClientConfig config, QObject* parent = nullptr);
    ~TMqttClient() override;

    // Connects, and reconnects after every loss until Stop.
    void Start();
    // Publishes the final message, if any, and closes the connection cleanly (the broker
    // then does not send the last will).
    void Stop(const QString& finalTopic = {}, const QByteArray& finalPayload = {});

    bool IsConnected() const { return connected_; }
    // The message id, whose acknowledgement comes as Published (QoS 1) or which is
    // written at once (QoS 0); -1 when it cannot be sent now.
    int Publish(const QString& topic, const QByteArray& payload, int qos, bool retain);

    // For the library's callbacks.
    void OnConnack(int rc);
    void OnDisconnect(int rc);
    void OnPublish(int mid);

signals:
    void Connected();
    // The link is down: the operator's text of why.
    void Disconnected(const QString& reason);
    void Published(int mid);

private:
    void Attempt();
    bool Configure(QString& error);
    void Watch(int fd);
    void Unwatch();
    void ReadReady();
    void WriteReady();
    void Housekeeping();
    void AfterStep(int rc);
    void UpdateWriteInterest();
    void LinkLost(const QString& reason);
    void DestroyClient();
    QString Where() const;

    TMqttClientConfig config_;
    mosquitto* mosq_ = nullptr;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QTimer keepAlive_;
    QTimer connectTimeout_;
    QTimer retry_;
    int retryMs_ = 0;
    bool running_ = false;
    bool linkActive_ = false; // an attempt or a connection whose end is not yet handled
    bool connected_ = false;
    QString refusal_;
};

} // namespace karvel
