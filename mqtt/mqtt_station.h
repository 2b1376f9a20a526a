#pragma once
// The station's MQTT side as the main program sees it: the sink on a thread of its own,
// woken by every change appended to the ledger, and the terminals' live values, taken
// once a second and handed over only where something changed. Nothing here waits for
// the broker: the lines' polling and the D-Bus accounting never see it.

#include "mqtt_messages.h"
#include "mqtt_sink.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace karvel {

class TMqttStation : public QObject {
    Q_OBJECT
public:
    explicit TMqttStation(TMqttSinkConfig config, QObject* parent = nullptr);
    // Says "offline" to the broker and ends the thread; what waits stays in the ledger.
    ~TMqttStation() override;

    // A change for the "mqtt" sink was appended to the ledger.
    void ChangeAppended();
    // Where the live values come from; taken every liveIntervalMs from now on.
    void SetLiveSource(std::function<std::vector<TLiveTerminal>()> source,
                       int liveIntervalMs = 1000);
    // Takes the live values now (the timer does this once a second).
    void TakeLiveValues();

    QString StatusText() const;
    bool IsConnected() const;

signals:
    void StatusChanged(const QString& text);

private:
    void OnStatus(const QString& text, bool connected);
    void SendLive(int line, int netNum, const QByteArray& payload);

    TMqttSinkConfig config_;
    QThread thread_;
    TMqttSink* sink_ = nullptr; // lives on thread_
    QTimer liveTimer_;
    std::function<std::vector<TLiveTerminal>()> liveSource_;
    std::map<std::pair<int, int>, QByteArray> lastLive_;
    QString status_;
    bool connected_ = false;
};

} // namespace karvel
