#include "mqtt_client.h"

#include <QSocketNotifier>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace karvel {

namespace {

void LibraryInit()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

TMqttClient* Self(void* obj)
{
    return static_cast<TMqttClient*>(obj);
}

void ConnectCallback(mosquitto*, void* obj, int rc)
{
    Self(obj)->OnConnack(rc);
}
void DisconnectCallback(mosquitto*, void* obj, int rc)
{
    Self(obj)->OnDisconnect(rc);
}
void PublishCallback(mosquitto*, void* obj, int mid)
{
    Self(obj)->OnPublish(mid);
}

QString RefusalText(int rc)
{
    switch (rc) {
    case 1:
        return QStringLiteral("брокер не поддерживает версию протокола");
    case 2:
        return QStringLiteral("брокер отверг идентификатор клиента");
    case 3:
        return QStringLiteral("брокер недоступен");
    case 4:
        return QStringLiteral("неверное имя пользователя или пароль");
    case 5:
        return QStringLiteral("нет прав на подключение (проверьте имя пользователя и пароль)");
    default:
        return QString::fromUtf8(mosquitto_connack_string(rc));
    }
}

QString ErrorText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (rc == MOSQ_ERR_CONN_LOST)
        return QStringLiteral("соединение потеряно");
    if (rc == MOSQ_ERR_TLS)
        return QStringLiteral("ошибка TLS (сертификат брокера не подтвержден?)");
    if (rc == MOSQ_ERR_KEEPALIVE)
        return QStringLiteral("брокер не отвечает");
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

TMqttClient::TMqttClient(TMqttClientConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config))
{
    LibraryInit();
    keepAlive_.setInterval(std::max(1, config_.keepAliveS / 4) * 1000);
    connect(&keepAlive_, &QTimer::timeout, this, &TMqttClient::Housekeeping);
    connectTimeout_.setSingleShot(true);
    connect(&connectTimeout_, &QTimer::timeout, this,
            [this] { LinkLost(QStringLiteral("брокер не ответил на подключение")); });
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &TMqttClient::Attempt);
}

TMqttClient::~TMqttClient()
{
    Unwatch();
    DestroyClient();
}

QString TMqttClient::Where() const
{
    return QStringLiteral("%1:%2").arg(config_.settings.host).arg(config_.settings.port);
}

void TMqttClient::Start()
{
    running_ = true;
    retryMs_ = config_.retryMinMs;
    Attempt();
}

void TMqttClient::Stop(const QString& finalTopic, const QByteArray& finalPayload)
{
    running_ = false;
    retry_.stop();
    connectTimeout_.stop();
    keepAlive_.stop();
    if (mosq_ && connected_) {
        if (!finalTopic.isEmpty())
            Publish(finalTopic, finalPayload, 1, true);
        mosquitto_disconnect(mosq_);
        // Whatever the socket did not take at once goes out now; a broker that does
        // not read it sends the last will instead, which says the same.
        for (int i = 0; i < 10 && mosquitto_want_write(mosq_); ++i)
            if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS)
                break;
    }
    connected_ = false;
    linkActive_ = false;
    Unwatch();
    DestroyClient();
}

bool TMqttClient::Configure(QString& error)
{
    const TMqttSettings& s = config_.settings;
    mosq_ = mosquitto_new(config_.clientId.toUtf8().constData(), false, this);
    if (!mosq_) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_max_inflight_messages_set(mosq_, static_cast<unsigned>(config_.maxInflight));
    mosquitto_connect_callback_set(mosq_, ConnectCallback);
    mosquitto_disconnect_callback_set(mosq_, DisconnectCallback);
    mosquitto_publish_callback_set(mosq_, PublishCallback);
    if (!s.user.isEmpty()) {
        const QByteArray user = s.user.toUtf8();
        const QByteArray password = s.password.toUtf8();
        mosquitto_username_pw_set(mosq_, user.constData(),
                                  s.password.isEmpty() ? nullptr : password.constData());
    }
    if (s.tls) {
        const QByteArray ca = s.caFile.toLocal8Bit();
        if (mosquitto_tls_set(mosq_, ca.constData(), nullptr, nullptr, nullptr, nullptr) !=
            MOSQ_ERR_SUCCESS) {
            error = QStringLiteral("не удается прочитать файл сертификата \"%1\"").arg(s.caFile);
            return false;
        }
    }
    if (!config_.willTopic.isEmpty()) {
        const QByteArray topic = config_.willTopic.toUtf8();
        mosquitto_will_set(mosq_, topic.constData(), static_cast<int>(config_.willPayload.size()),
                           config_.willPayload.constData(), 1, true);
    }
    return true;
}

void TMqttClient::Attempt()
{
    if (!running_)
        return;
    Unwatch();
    DestroyClient();
    refusal_.clear();
    linkActive_ = true;
    QString error;
    if (!Configure(error)) {
        LinkLost(error);
        return;
    }
    const QByteArray host = config_.settings.host.toUtf8();
    const int rc =
        mosquitto_connect_async(mosq_, host.constData(), config_.settings.port, config_.keepAliveS);
    if (rc != MOSQ_ERR_SUCCESS) {
        LinkLost(ErrorText(rc));
        return;
    }
    if (mosquitto_socket(mosq_) < 0) {
        LinkLost(ErrorText(MOSQ_ERR_CONN_LOST));
        return;
    }
    Watch(mosquitto_socket(mosq_));
    connectTimeout_.start(config_.connectTimeoutMs);
    keepAlive_.start();
    UpdateWriteInterest();
}

void TMqttClient::Watch(int fd)
{
    if (fd < 0)
        return;
    readNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &TMqttClient::ReadReady);
    writeNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &TMqttClient::WriteReady);
}

void TMqttClient::Unwatch()
{
    // Called from inside a notifier's own signal too: it is disabled now, deleted later.
    for (QSocketNotifier** n : {&readNotifier_, &writeNotifier_}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
}

void TMqttClient::DestroyClient()
{
    if (mosq_) {
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }
}

void TMqttClient::ReadReady()
{
    if (mosq_)
        AfterStep(mosquitto_loop_read(mosq_, 1000));
}

void TMqttClient::WriteReady()
{
    if (mosq_)
        AfterStep(mosquitto_loop_write(mosq_, 1000));
}

void TMqttClient::Housekeeping()
{
    if (mosq_)
        AfterStep(mosquitto_loop_misc(mosq_));
}

void TMqttClient::AfterStep(int rc)
{
    // Some failures (a TLS handshake the broker's certificate fails) close the socket
    // without the disconnect callback: the closed socket is the sign.
    if (mosq_ && linkActive_ && mosquitto_socket(mosq_) < 0) {
        LinkLost(!refusal_.isEmpty() ? refusal_
                                     : ErrorText(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc));
        return;
    }
    UpdateWriteInterest();
}

void TMqttClient::UpdateWriteInterest()
{
    if (writeNotifier_ && mosq_)
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
}

int TMqttClient::Publish(const QString& topic, const QByteArray& payload, int qos, bool retain)
{
    if (!mosq_ || !connected_)
        return -1;
    int mid = 0;
    const QByteArray t = topic.toUtf8();
    const int rc = mosquitto_publish(mosq_, &mid, t.constData(), static_cast<int>(payload.size()),
                                     payload.constData(), qos, retain);
    UpdateWriteInterest();
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

void TMqttClient::OnConnack(int rc)
{
    connectTimeout_.stop();
    if (rc != 0) {
        refusal_ = QStringLiteral("брокер отказал в подключении: ") + RefusalText(rc);
        return;
    }
    connected_ = true;
    retryMs_ = config_.retryMinMs;
    emit Connected();
}

void TMqttClient::OnDisconnect(int rc)
{
    if (!refusal_.isEmpty())
        LinkLost(refusal_);
    else
        LinkLost(ErrorText(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc));
}

void TMqttClient::OnPublish(int mid)
{
    emit Published(mid);
}

void TMqttClient::LinkLost(const QString& reason)
{
    if (!linkActive_)
        return;
    linkActive_ = false;
    connected_ = false;
    connectTimeout_.stop();
    keepAlive_.stop();
    Unwatch();
    // The library client is destroyed by the next attempt, never inside its own callback.
    if (running_) {
        retry_.start(retryMs_);
        retryMs_ = std::min(retryMs_ * 2, config_.retryMaxMs);
    }
    emit Disconnected(Where() + QStringLiteral(": ") + reason);
}

} // namespace karvel
