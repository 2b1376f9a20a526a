#pragma once
// The MQTT sink of the ledger: publishes the ledger's waiting "mqtt" deliveries, oldest
// first, as bookings (QoS 1) and marks each delivered only when the broker acknowledged
// it. After a reconnect everything not yet acknowledged goes out again, in order, with
// its own change id. It also keeps the station's retained status and the last live
// values of the terminals. It owns its ledger connection and its client, so it runs on a
// thread of its own (see TMqttStation) and never holds up the lines or the D-Bus sink.

#include "ledger.h"
#include "mqtt_client.h"
#include "mqtt_settings.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace karvel {

struct TMqttSinkConfig {
    TMqttSettings settings;
    QString stationId;
    QString ledgerPath;
    int window = 1000; // bookings published and not yet acknowledged, at most
    int retryMinMs = 500;
    int retryMaxMs = 10000;
    // Acknowledged bookings are marked delivered together, at most this often: few short
    // write transactions, so the ledger's writer on the main thread rarely waits for one.
    int markEveryMs = 100;
};

class TMqttSink : public QObject {
    Q_OBJECT
public:
    explicit TMqttSink(TMqttSinkConfig config, QObject* parent = nullptr);
    ~TMqttSink() override;

    // Opens the ledger and connects; call on the sink's thread.
    void Start();
    // Says "offline" and disconnects cleanly.
    void Stop();
    // A change was appended to the ledger: publish it (and whatever waits) now.
    void Wake();
    // The last live value of a terminal: retained, sent now or after the next connect.
    void PublishLive(const QString& topic, const QByteArray& payload);

    bool IsConnected() const { return client_ && client_->IsConnected(); }
    int64_t DeliveredCount() const { return delivered_; }

signals:
    void StatusChanged(const QString& text, bool connected);
    // Bookings the broker acknowledged, marked in the ledger (the seq of the last one).
    void Delivered(qint64 lastSeq);

private:
    void OnConnected();
    void OnDisconnected(const QString& reason);
    void OnPublished(int mid);
    void TopUp();
    void MarkAcknowledged();
    void SetStatus(const QString& text, bool connected);

    TMqttSinkConfig config_;
    TLedger ledger_;
    std::unique_ptr<TMqttClient> client_;
    QString bookingTopic_;
    QString statusTopic_;
    std::map<int, int64_t> inflight_; // message id -> ledger seq
    int64_t lastPublished_ = 0; // highest seq published on this connection
    std::vector<int64_t> acknowledged_; // waiting to be marked in one transaction
    QTimer* markTimer_ = nullptr; // a child, so that it moves to the sink's thread with it
    bool topUpQueued_ = false;
    QHash<QString, QByteArray> live_;
    int64_t delivered_ = 0;
    QString ledgerError_;
};

} // namespace karvel
