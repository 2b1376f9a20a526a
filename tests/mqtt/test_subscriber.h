#pragma once
// A subscriber for tests: libmosquitto on a thread of its own, a persistent QoS 1
// session, every message kept with its topic and retain flag; reconnects by itself.

#include <QByteArray>
#include <QString>

#include <chrono>
#include <mutex>
#include <vector>

struct mosquitto;

namespace karvel::test {

struct TReceived {
    QString topic;
    QByteArray payload;
    bool retained = false;
    std::chrono::steady_clock::time_point at;
};

struct TSubscriberOptions {
    QString user;
    QString password;
    QString caFile;
    bool cleanSession = false;
};

class TTestSubscriber {
public:
    TTestSubscriber(int port, QString filter, TSubscriberOptions options = {});
    ~TTestSubscriber();

    bool Subscribed() const;
    std::vector<TReceived> Messages() const;
    std::vector<TReceived> On(const QString& topic) const;
    size_t Count() const;

    // For the library's callbacks.
    void OnConnect(int rc);
    void OnSubscribe();
    void OnMessage(const TReceived& message);

private:
    QString filter_;
    mosquitto* mosq_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<TReceived> messages_;
    bool subscribed_ = false;
};

} // namespace karvel::test
