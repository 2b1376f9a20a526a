// Prints:
//  - catch-up: 100 000 changes waiting in the ledger go through the sink to a local broker
//    and a subscriber; changes per second until the last is marked delivered;
//  - latency: changes booked at a steady rate (every 5 ms, 2 000 of them); the time from
//    the ledger write to the subscriber's receipt (median, 99th percentile, worst);
//  - pauses: the main thread's worst timer lateness while changes are booked and the
//    broker is first stopped (SIGSTOP: a broker that no longer reads) and then gone.
// Arguments: [backlog] [steady count].

#include "ledger.h"
#include "mqtt_station.h"
#include "test_broker.h"
#include "test_subscriber.h"
#include "wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <signal.h>
#include <vector>

using namespace karvel;
using Clock = std::chrono::steady_clock;
using S = ledger::TDeliveryState;

namespace {

const QString kStation = QStringLiteral("bench");

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

TLedgerChange Change(int i)
{
    TLedgerChange c;
    c.bookedAtMs = QDateTime::currentMSecsSinceEpoch();
    c.utcOffsetS = 3 * 3600;
    c.line = 1 + i % 4;
    c.netNum = 1 + i % 30;
    c.product = "Пшеница";
    c.countC = 100000 + i * 12.5;
    c.countD = 12.5;
    return c;
}

TMqttSinkConfig Config(int port, const QString& ledgerPath)
{
    TMqttSinkConfig c;
    c.settings.enabled = true;
    c.settings.port = port;
    c.stationId = kStation;
    c.ledgerPath = ledgerPath;
    c.retryMinMs = 100;
    c.retryMaxMs = 500;
    return c;
}

// The worst lateness of a 10 ms timer on this thread while `run` goes on.
class TLatenessProbe {
public:
    TLatenessProbe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            worst_ = std::max(worst_, Ms(now - last_) - 10.0);
            last_ = now;
        });
    }
    void Start()
    {
        worst_ = 0;
        last_ = Clock::now();
        timer_.start(10);
    }
    double Stop()
    {
        timer_.stop();
        return worst_;
    }

private:
    QTimer timer_;
    Clock::time_point last_;
    double worst_ = 0;
};

int CatchUp(int backlog)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ledger.db");
    TLedger ledger;
    ledger.Open(path.toStdString(), kStation.toStdString());
    ledger.SetSinks({ledger::kSinkMqtt});
    ledger.Db().Exec("PRAGMA synchronous=OFF"); // only to fill the backlog quickly
    for (int i = 0; i < backlog; ++i) {
        TLedgerChange c = Change(i);
        ledger.Append(c);
    }
    ledger.Db().Exec("PRAGMA synchronous=FULL");

    test::TBrokerOptions options;
    options.saveOften = false;
    test::TTestBroker broker(options);
    if (!broker.Start())
        return 1;
    test::TSubscriberOptions sub;
    sub.cleanSession = true;
    test::TTestSubscriber subscriber(broker.Port(), "karvel/bench/booking", sub);
    test::WaitUntil([&] { return subscriber.Subscribed(); }, 5000);

    QElapsedTimer clock;
    clock.start();
    TMqttStation station(Config(broker.Port(), path));
    const bool done = test::WaitUntil(
        [&] { return ledger.CountInState(ledger::kSinkMqtt, S::Delivered) == backlog; }, 600000);
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    test::WaitUntil([&] { return subscriber.Count() >= static_cast<size_t>(backlog); }, 60000);
    std::printf("catch-up: %d changes in %.2f s = %.0f changes/s (subscriber got %zu)%s\n", backlog,
                seconds, backlog / seconds, subscriber.Count(), done ? "" : " NOT FINISHED");
    return done ? 0 : 1;
}

int Steady(int count)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ledger.db");
    TLedger ledger;
    ledger.Open(path.toStdString(), kStation.toStdString());
    ledger.SetSinks({ledger::kSinkMqtt});
    test::TBrokerOptions options;
    options.saveOften = false;
    test::TTestBroker broker(options);
    if (!broker.Start())
        return 1;
    test::TSubscriberOptions sub;
    sub.cleanSession = true;
    test::TTestSubscriber subscriber(broker.Port(), "karvel/bench/booking", sub);
    test::WaitUntil([&] { return subscriber.Subscribed(); }, 5000);
    TMqttStation station(Config(broker.Port(), path));
    test::WaitUntil([&] { return station.IsConnected(); }, 5000);

    // Steady load: one change every 5 ms, written as the program writes it (a transaction
    // on the disk each) and the sink woken.
    std::map<QString, Clock::time_point> written;
    int next = 0;
    QTimer load;
    load.setTimerType(Qt::PreciseTimer);
    QObject::connect(&load, &QTimer::timeout, [&] {
        if (next >= count)
            return load.stop();
        TLedgerChange c = Change(next++);
        const Clock::time_point before = Clock::now();
        ledger.Append(c);
        written[QString::fromStdString(c.changeId)] = before;
        station.ChangeAppended();
    });
    TLatenessProbe probe;
    probe.Start();
    load.start(5);
    test::WaitUntil([&] { return subscriber.Count() >= static_cast<size_t>(count); }, 120000);
    const double lateness = probe.Stop();
    std::vector<double> latency;
    for (const test::TReceived& m : subscriber.Messages()) {
        const QString id = QJsonDocument::fromJson(m.payload).object().value("changeId").toString();
        if (const auto it = written.find(id); it != written.end())
            latency.push_back(Ms(m.at - it->second));
    }
    std::printf("steady: %zu of %d changes, ledger write -> subscriber: median %.2f ms, p99 %.2f "
                "ms, worst %.2f ms; main thread worst timer lateness %.1f ms\n",
                latency.size(), count, Percentile(latency, 0.5), Percentile(latency, 0.99),
                Percentile(latency, 1.0), lateness);

    // The broker stops reading (SIGSTOP), then is gone, while changes go on being booked.
    // The same booking without any sink first: what the ledger writes cost by themselves.
    TLatenessProbe stalled;
    const int more = 300;
    count = more;
    {
        TLedger alone;
        alone.Open(dir.filePath("alone.db").toStdString(), kStation.toStdString());
        alone.SetSinks({ledger::kSinkMqtt});
        QTimer bare;
        int made = 0;
        QObject::connect(&bare, &QTimer::timeout, [&] {
            TLedgerChange c = Change(made);
            if (++made <= more)
                alone.Append(c);
        });
        stalled.Start();
        bare.start(5);
        test::RunFor(1500);
    }
    const double aloneLateness = stalled.Stop();
    next = 0;
    stalled.Start();
    ::kill(static_cast<pid_t>(broker.Pid()), SIGSTOP);
    load.start(5);
    test::RunFor(1500);
    const double stoppedLateness = stalled.Stop();
    ::kill(static_cast<pid_t>(broker.Pid()), SIGCONT);
    broker.Stop(true);
    stalled.Start();
    test::RunFor(1500);
    const double goneLateness = stalled.Stop();
    std::printf("pauses: main thread worst timer lateness %.1f ms with the broker stopped, "
                "%.1f ms with it gone, %.1f ms with no sink at all (changes written to the "
                "ledger every 5 ms on the main thread meanwhile)\n",
                stoppedLateness, goneLateness, aloneLateness);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int backlog = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int steady = argc > 2 ? std::atoi(argv[2]) : 2000;
    int rc = CatchUp(backlog);
    rc |= Steady(steady);
    return rc;
}
