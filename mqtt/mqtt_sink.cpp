#include "mqtt_sink.h"

#include "mqtt_messages.h"

#include <QMetaObject>

#include <sqlite3.h>

namespace karvel {

namespace {
const std::string kSink = "mqtt";
}

TMqttSink::TMqttSink(TMqttSinkConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config))
{
    bookingTopic_ = BookingTopic(config_.settings.topicPrefix, config_.stationId);
    statusTopic_ = StatusTopic(config_.settings.topicPrefix, config_.stationId);
    markTimer_ = new QTimer(this);
    markTimer_->setSingleShot(true);
    connect(markTimer_, &QTimer::timeout, this, &TMqttSink::MarkAcknowledged);
}

TMqttSink::~TMqttSink()
{
    Stop();
}

void TMqttSink::Start()
{
    if (!ledger_.Open(config_.ledgerPath.toStdString(), config_.stationId.toStdString())) {
        ledgerError_ = QString::fromStdString(ledger_.LastError());
        SetStatus(QStringLiteral("MQTT: журнал учета \"%1\" не открыт: %2")
                      .arg(config_.ledgerPath, ledgerError_),
                  false);
        // Live values and the status still go out; bookings wait in the ledger.
    } else {
        // The sink hardly waits for the ledger's lock: a mark that finds the ledger busy
        // is tried again at the next turn, so publishing goes on meanwhile. (Reads never
        // wait for a writer in WAL mode; the few milliseconds cover a checkpoint.)
        sqlite3_busy_timeout(ledger_.Db().Handle(), 5);
    }
    TMqttClientConfig c;
    c.settings = config_.settings;
    c.clientId = QStringLiteral("karvel-") + config_.stationId;
    c.willTopic = statusTopic_;
    c.willPayload = kStatusOffline;
    c.maxInflight = config_.window;
    c.retryMinMs = config_.retryMinMs;
    c.retryMaxMs = config_.retryMaxMs;
    client_ = std::make_unique<TMqttClient>(c);
    connect(client_.get(), &TMqttClient::Connected, this, &TMqttSink::OnConnected);
    connect(client_.get(), &TMqttClient::Disconnected, this, &TMqttSink::OnDisconnected);
    connect(client_.get(), &TMqttClient::Published, this, &TMqttSink::OnPublished);
    SetStatus(QStringLiteral("MQTT: подключение к %1:%2...")
                  .arg(config_.settings.host)
                  .arg(config_.settings.port),
              false);
    client_->Start();
}

void TMqttSink::Stop()
{
    if (!client_)
        return;
    // The last marks may wait for the ledger's lock: they are what this run delivered.
    markTimer_->stop();
    if (ledger_.IsOpen())
        sqlite3_busy_timeout(ledger_.Db().Handle(), 2000);
    MarkAcknowledged();
    client_->Stop(statusTopic_, kStatusOffline);
    client_.reset();
    inflight_.clear();
}

void TMqttSink::Wake()
{
    TopUp();
}

void TMqttSink::PublishLive(const QString& topic, const QByteArray& payload)
{
    // An empty payload clears the retained value; nothing is kept to send again.
    if (payload.isEmpty())
        live_.remove(topic);
    else
        live_.insert(topic, payload);
    if (IsConnected())
        client_->Publish(topic, payload, 0, true);
}

void TMqttSink::OnConnected()
{
    SetStatus(QStringLiteral("MQTT: подключено к %1:%2")
                  .arg(config_.settings.host)
                  .arg(config_.settings.port),
              true);
    client_->Publish(statusTopic_, kStatusOnline, 1, true);
    // A broker that lost its retained messages gets every terminal's last values again.
    for (auto it = live_.cbegin(); it != live_.cend(); ++it)
        client_->Publish(it.key(), it.value(), 0, true);
    inflight_.clear();
    lastPublished_ = 0;
    TopUp();
}

void TMqttSink::OnDisconnected(const QString& reason)
{
    // Acknowledged ones are kept; everything else is sent again on the next connection.
    MarkAcknowledged();
    inflight_.clear();
    lastPublished_ = 0;
    SetStatus(QStringLiteral("MQTT: нет связи с брокером ") + reason, false);
}

void TMqttSink::TopUp()
{
    if (!IsConnected() || !ledger_.IsOpen())
        return;
    while (static_cast<int>(inflight_.size()) < config_.window) {
        const int room = config_.window - static_cast<int>(inflight_.size());
        const auto rows = ledger_.Waiting(kSink, lastPublished_, room);
        if (rows.empty())
            return;
        for (const TLedgerDelivery& row : rows) {
            const int mid = client_->Publish(bookingTopic_, BookingJson(row.change), 1, false);
            if (mid < 0)
                return; // the link is going; the next connection starts over
            inflight_[mid] = row.change.seq;
            lastPublished_ = row.change.seq;
        }
        if (static_cast<int>(rows.size()) < room)
            return;
    }
}

void TMqttSink::OnPublished(int mid)
{
    const auto it = inflight_.find(mid);
    if (it == inflight_.end())
        return; // a status or live value
    acknowledged_.push_back(it->second);
    inflight_.erase(it);
    if (!markTimer_->isActive())
        markTimer_->start(config_.markEveryMs);
    // Refilled by halves: a few large reads of the ledger rather than one per
    // acknowledgement.
    if (!topUpQueued_ && static_cast<int>(inflight_.size()) <= config_.window / 2) {
        topUpQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                topUpQueued_ = false;
                TopUp();
            },
            Qt::QueuedConnection);
    }
}

void TMqttSink::MarkAcknowledged()
{
    if (acknowledged_.empty() || !ledger_.IsOpen())
        return;
    // A row that is no longer waiting (marked by an earlier acknowledgement of the same
    // change) changes nothing; a failed transaction leaves every row waiting, and those
    // go out again with the same ids: a repeat, never a loss.
    bool ok = false;
    {
        TSqliteTransaction tx(ledger_.Db());
        if (tx.Begun()) {
            for (const int64_t seq : acknowledged_)
                ledger_.MarkDelivered(seq, kSink);
            ok = tx.Commit();
        }
    }
    if (!ok && ledger_.LastErrorCode() == SQLITE_BUSY) {
        markTimer_->start(config_.markEveryMs);
        return;
    }
    if (!ok) {
        const QString error = QString::fromStdString(ledger_.LastError());
        SetStatus(QStringLiteral("MQTT: отметка доставки не записана в журнал учета: ") + error,
                  IsConnected());
        acknowledged_.clear();
        return;
    }
    delivered_ += static_cast<int64_t>(acknowledged_.size());
    const int64_t last = acknowledged_.back();
    acknowledged_.clear();
    emit Delivered(last);
}

void TMqttSink::SetStatus(const QString& text, bool connected)
{
    emit StatusChanged(text, connected);
}

} // namespace karvel
