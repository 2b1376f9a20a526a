#include "test_subscriber.h"

#include <QUuid>

#include <mosquitto.h>

namespace karvel::test {

namespace {
TTestSubscriber* Self(void* obj)
{
    return static_cast<TTestSubscriber*>(obj);
}
} // namespace

TTestSubscriber::TTestSubscriber(int port, QString filter, TSubscriberOptions options)
    : filter_(std::move(filter))
{
    mosquitto_lib_init();
    const QByteArray id = QStringLiteral("test-sub-%1")
                              .arg(QUuid::createUuid().toString(QUuid::Id128))
                              .left(23)
                              .toUtf8();
    mosq_ = mosquitto_new(id.constData(), options.cleanSession, this);
    mosquitto_connect_callback_set(mosq_,
                                   [](mosquitto*, void* o, int rc) { Self(o)->OnConnect(rc); });
    mosquitto_subscribe_callback_set(
        mosq_, [](mosquitto*, void* o, int, int, const int*) { Self(o)->OnSubscribe(); });
    mosquitto_message_callback_set(mosq_, [](mosquitto*, void* o, const mosquitto_message* m) {
        Self(o)->OnMessage({QString::fromUtf8(m->topic),
                            QByteArray(static_cast<const char*>(m->payload), m->payloadlen),
                            m->retain, std::chrono::steady_clock::now()});
    });
    if (!options.user.isEmpty())
        mosquitto_username_pw_set(mosq_, options.user.toUtf8().constData(),
                                  options.password.toUtf8().constData());
    if (!options.caFile.isEmpty())
        mosquitto_tls_set(mosq_, options.caFile.toUtf8().constData(), nullptr, nullptr, nullptr,
                          nullptr);
    mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
    mosquitto_connect_async(mosq_, "127.0.0.1", port, 10);
    mosquitto_loop_start(mosq_);
}

TTestSubscriber::~TTestSubscriber()
{
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
}

void TTestSubscriber::OnConnect(int rc)
{
    if (rc == 0)
        mosquitto_subscribe(mosq_, nullptr, filter_.toUtf8().constData(), 1);
}

void TTestSubscriber::OnSubscribe()
{
    std::lock_guard lock(mutex_);
    subscribed_ = true;
}

void TTestSubscriber::OnMessage(const TReceived& message)
{
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
}

bool TTestSubscriber::Subscribed() const
{
    std::lock_guard lock(mutex_);
    return subscribed_;
}

std::vector<TReceived> TTestSubscriber::Messages() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<TReceived> TTestSubscriber::On(const QString& topic) const
{
    std::vector<TReceived> found;
    for (const TReceived& m : Messages())
        if (m.topic == topic)
            found.push_back(m);
    return found;
}

size_t TTestSubscriber::Count() const
{
    std::lock_guard lock(mutex_);
    return messages_.size();
}

} // namespace karvel::test
