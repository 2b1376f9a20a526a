#include "mqtt_station.h"

#include <QDateTime>

namespace karvel {

TMqttStation::TMqttStation(TMqttSinkConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config))
{
    thread_.setObjectName(QStringLiteral("mqtt"));
    sink_ = new TMqttSink(config_);
    sink_->moveToThread(&thread_);
    connect(sink_, &TMqttSink::StatusChanged, this, &TMqttStation::OnStatus, Qt::QueuedConnection);
    connect(&liveTimer_, &QTimer::timeout, this, &TMqttStation::TakeLiveValues);
    thread_.start();
    QMetaObject::invokeMethod(sink_, &TMqttSink::Start, Qt::QueuedConnection);
}

TMqttStation::~TMqttStation()
{
    liveTimer_.stop();
    TMqttSink* sink = sink_;
    // The sink says goodbye and is destroyed on its own thread, with its socket notifiers.
    QMetaObject::invokeMethod(
        sink,
        [sink] {
            sink->Stop();
            delete sink;
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void TMqttStation::ChangeAppended()
{
    QMetaObject::invokeMethod(sink_, &TMqttSink::Wake, Qt::QueuedConnection);
}

void TMqttStation::SetLiveSource(std::function<std::vector<TLiveTerminal>()> source,
                                 int liveIntervalMs)
{
    liveSource_ = std::move(source);
    if (liveSource_)
        liveTimer_.start(liveIntervalMs);
    else
        liveTimer_.stop();
}

void TMqttStation::TakeLiveValues()
{
    if (!liveSource_)
        return;
    std::map<std::pair<int, int>, QByteArray> now;
    for (const TLiveTerminal& terminal : liveSource_()) {
        QByteArray payload = LiveJson(terminal);
        const auto key = std::make_pair(terminal.line, terminal.netNum);
        const auto last = lastLive_.find(key);
        if (last == lastLive_.end() || last->second != payload)
            SendLive(terminal.line, terminal.netNum, payload);
        now.emplace(key, std::move(payload));
    }
    // A terminal taken out of the lines: its retained values are cleared (an empty
    // retained message), so that nobody reads it as still weighing.
    for (const auto& [key, payload] : lastLive_)
        if (!now.contains(key))
            SendLive(key.first, key.second, QByteArray());
    lastLive_ = std::move(now);
}

void TMqttStation::SendLive(int line, int netNum, const QByteArray& payload)
{
    const QString topic =
        TerminalStateTopic(config_.settings.topicPrefix, config_.stationId, line, netNum);
    QMetaObject::invokeMethod(
        sink_, [sink = sink_, topic, payload] { sink->PublishLive(topic, payload); },
        Qt::QueuedConnection);
}

QString TMqttStation::StatusText() const
{
    return status_;
}

bool TMqttStation::IsConnected() const
{
    return connected_;
}

void TMqttStation::OnStatus(const QString& text, bool connected)
{
    connected_ = connected;
    if (text == status_)
        return;
    status_ = text;
    emit StatusChanged(text);
}

} // namespace karvel
