#include "soak_run.h"

#include "config_keys.h"
#include "config_store.h"
#include "crypt_psw.h"
#include "main_core.h"
#include "mqtt_settings.h"
#include "soak_ledger.h"
#include "soak_line.h"
#include "soak_memory.h"
#include "soak_mqtt.h"
#include "soak_server.h"
#include "soak_store.h"

#include "line_poller.h"
#include "sim_process.h"
#include "test_broker.h"
#include "wait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

namespace karvel::soak {

namespace {

using test::RunFor;
using test::SimProcess;
using test::WaitUntil;

constexpr int64_t kMemoryToleranceKiB = 4096;

QElapsedTimer gClock;

void Say(const QString& text)
{
    std::printf("[%7.1f s] %s\n", gClock.elapsed() / 1000.0, qPrintable(text));
    std::fflush(stdout);
}

// What the program tells its windows: counted and kept for the comparison.
class TSoakListener : public TMainListener {
public:
    void StatusText(int line, const QString& text) override
    {
        static const QRegularExpression net(QStringLiteral("; № (\\d+);"));
        const auto match = net.match(text);
        if (match.hasMatch())
            ++coreBookings[{line, match.captured(1).toInt()}];
    }
    void ShowState(const QStringList&) override
    {
        // Raised while the lost terminal still counts as connected.
        if (core == nullptr)
            return;
        for (int line = 1; line <= 4; ++line)
            for (const auto& t : core->LineList(line))
                if (t->Connect && t->ErrorCount == TDoz_Karvel::kLinkLostAt) {
                    ++linkLosses[{line, t->NetNum}];
                    Say(QStringLiteral("line %1 terminal %2: link lost (booked total %3 kg)")
                            .arg(line)
                            .arg(t->NetNum)
                            .arg(t->c_old, 0, 'f', 2));
                }
    }
    void ShowMessage(const QString& text) override { messages << text; }
    void AccountingTrouble(const QString&) override { ++kept; }

    TMainCore* core = nullptr;
    std::map<TTerminalKey, int> coreBookings;
    std::map<TTerminalKey, int> linkLosses;
    QStringList messages;
    int kept = 0;
};

struct TSimLine {
    std::unique_ptr<SimProcess> process;
    int line = 0;
};

QStringList SimArguments(const TSoakLine& line, const TSoakOptions& o)
{
    QStringList args {"--cycle-ms",  QString::number(o.cycleMs),
                      "--seed",      QString::number(o.seed * 10 + line.number),
                      "--drop",      QString::number(o.drop),
                      "--corrupt",   QString::number(o.corrupt),
                      "--noise",     QString::number(o.noise),
                      "--wrong-net", QString::number(o.wrongNet),
                      "--late",      QString::number(o.late)};
    for (const TSoakTerminal& t : line.terminals)
        args
            << "--terminal"
            << QStringLiteral("%1:%2:%3").arg(t.net).arg(line.kr100 ? "KR100" : "KR200", t.product);
    return args;
}

int64_t RawOf(double kg, int decimals)
{
    return std::llround(kg * std::pow(10.0, decimals));
}

class TSoak {
public:
    TSoak(const TSoakOptions& options, const QString& dir)
        : o_(options), dir_(dir), lines_(SoakLines(options.perLine)),
          server_(dir + "/memo.log", dir + "/server-data")
    { }

    TSoakOutcome Run();

private:
    bool StartSims();
    void ControlAll(const QString& command);
    bool SimsStill();
    std::map<TTerminalKey, QJsonObject> Records() const;
    bool AllBaselined() const;
    bool Settled();
    void Timeline();
    void Cleanup();
    TDbusSink* Forwarder() const { return core_ ? core_->AccountServer() : nullptr; }

    TSoakOptions o_;
    QString dir_;
    std::vector<TSoakLine> lines_;
    TServerProcess server_;
    std::vector<TSimLine> sims_;
    TSoakListener listener_;
    std::unique_ptr<TMainCore> core_;
    std::unique_ptr<TStoreLineSettings> settings_;
    std::array<TQuietView, 4> views_;
    std::vector<std::unique_ptr<TLinePoller>> pollers_;
    std::map<TTerminalKey, int64_t> lastPassed_;
    size_t mostWaiting_ = 0;
    std::unique_ptr<test::TTestBroker> broker_;
    std::unique_ptr<test::TTestSubscriber> subscriber_;
};

bool TSoak::StartSims()
{
    for (const TSoakLine& line : lines_) {
        const QString work = dir_ + QStringLiteral("/sim%1").arg(line.number);
        QDir().mkpath(work);
        TSimLine sim {std::make_unique<SimProcess>(), line.number};
        const QString link =
            dir_ + QStringLiteral("/config/Vistam/dosdevices/com%1").arg(line.number);
        if (!sim.process->Start(link, work, SimArguments(line, o_)))
            return false;
        sim.process->Control("stop all"); // still until the program has its baselines
        sims_.push_back(std::move(sim));
    }
    return true;
}

void TSoak::ControlAll(const QString& command)
{
    for (TSimLine& sim : sims_)
        sim.process->Control(command);
}

std::map<TTerminalKey, QJsonObject> TSoak::Records() const
{
    std::map<TTerminalKey, QJsonObject> all;
    for (const TSimLine& sim : sims_)
        for (const auto& [net, record] : sim.process->Record())
            all[{sim.line, net}] = record;
    return all;
}

// No weigher works and nothing was weighed since the last look.
bool TSoak::SimsStill()
{
    bool still = true;
    const auto records = Records();
    for (const auto& [key, r] : records) {
        const int64_t passed = r.value("passed_raw").toInteger();
        still = still && !r.value("running").toBool() && lastPassed_[key] == passed;
        lastPassed_[key] = passed;
    }
    return still && records.size() == static_cast<size_t>(4 * o_.perLine);
}

bool TSoak::AllBaselined() const
{
    for (int line = 1; line <= 4; ++line)
        for (const auto& t : core_->LineList(line))
            if (t->FirstReadFlagC)
                return false;
    return true;
}

// Every terminal's last total is booked, nothing waits in the ledger and the server has every
// booking the program made.
bool TSoak::Settled()
{
    const auto records = Records();
    for (int line = 1; line <= 4; ++line)
        for (const auto& t : core_->LineList(line)) {
            const auto r = records.find({line, t->NetNum});
            if (r == records.end() || !t->Connect || t->FirstReadFlagC)
                return false;
            const int decimals = r->second.value("decimals").toInt();
            if (RawOf(t->Count.C, decimals) != r->second.value("C_raw").toInteger() ||
                t->c_old != t->Count.C)
                return false;
        }
    TDbusSink* f = Forwarder();
    if (f == nullptr || f->Waiting() != 0 || f->Sending())
        return false;
    int booked = 0;
    for (const auto& [key, n] : listener_.coreBookings)
        booked += n;
    if (subscriber_ && CompareMqtt(listener_.coreBookings, subscriber_->Messages()).lost != 0)
        return false;
    return ReadMemoLog(dir_ + "/memo.log").size() >= static_cast<size_t>(booked);
}

void TSoak::Timeline()
{
    const int64_t total = static_cast<int64_t>(o_.durationS) * 1000;
    struct Event {
        int64_t atMs;
        std::function<void()> action;
    };
    std::vector<Event> events;
    for (int k = 0; k < o_.serverKills; ++k) {
        const int64_t at = total * (k + 1) / (o_.serverKills + 1) - o_.serverDownS * 500;
        events.push_back({at, [this] {
                              Say("accounting server killed");
                              server_.Kill();
                          }});
        events.push_back({at + o_.serverDownS * 1000, [this] {
                              Say(server_.Start() ? "accounting server started again"
                                                  : "accounting server did NOT start again");
                          }});
    }
    for (int k = 0; broker_ && k < o_.brokerKills; ++k) {
        // Between the accounting server's outages, so that each sink is seen alone.
        const int64_t at = total * (2 * k + 1) / (2 * (o_.brokerKills + 1));
        events.push_back({at, [this] {
                              Say("MQTT broker stopped");
                              broker_->Stop();
                          }});
        events.push_back({at + o_.brokerDownS * 1000, [this] {
                              Say(broker_->Start() ? "MQTT broker started again"
                                                   : "MQTT broker did NOT start again");
                          }});
    }
    const TSoakLine& quiet = lines_[1];
    const int net = quiet.terminals[std::min<size_t>(1, quiet.terminals.size() - 1)].net;
    const int64_t silenceAt = total / 3;
    events.push_back({silenceAt, [this, net] {
                          Say(QStringLiteral("line 2 terminal %1 silenced").arg(net));
                          sims_[1].process->Control(QStringLiteral("silence %1").arg(net));
                      }});
    events.push_back({silenceAt + o_.silenceS * 1000, [this, net] {
                          Say(QStringLiteral("line 2 terminal %1 answers again").arg(net));
                          sims_[1].process->Control(QStringLiteral("unsilence %1").arg(net));
                      }});
    std::sort(events.begin(), events.end(),
              [](const Event& a, const Event& b) { return a.atMs < b.atMs; });

    QElapsedTimer run;
    run.start();
    size_t next = 0;
    int64_t nextReport = 30000;
    while (run.elapsed() < total) {
        RunFor(50);
        if (Forwarder())
            mostWaiting_ = std::max(mostWaiting_, static_cast<size_t>(Forwarder()->Waiting()));
        while (next < events.size() && run.elapsed() >= events[next].atMs)
            events[next++].action();
        if (run.elapsed() >= nextReport) {
            nextReport += 30000;
            int booked = 0;
            for (const auto& [key, n] : listener_.coreBookings)
                booked += n;
            Say(QStringLiteral("%1 changes booked, %2 waiting in the ledger, memory %3 KiB")
                    .arg(booked)
                    .arg(Forwarder() ? Forwarder()->Waiting() : int64_t {0})
                    .arg(ResidentKiB()));
        }
    }
}

TSoakOutcome TSoak::Run()
{
    TSoakOutcome outcome;
    const QString config = dir_ + "/config";
    const QString programDir = dir_ + "/program";
    QDir().mkpath(config + "/Vistam/dosdevices");
    QDir().mkpath(programDir);
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    const QString storePath = config + "/Vistam/Karvel_net.reg";
    WriteStore(storePath, lines_);
    if (o_.brokerKills > 0) {
        broker_ = std::make_unique<test::TTestBroker>();
        if (!broker_->Start()) {
            outcome.messages << "the MQTT broker did not start";
            return outcome;
        }
        subscriber_ = std::make_unique<test::TTestSubscriber>(broker_->Port(), "karvel/+/booking");
        WaitUntil([&] { return subscriber_->Subscribed(); }, 10000);
        TMqttSettings mqtt;
        mqtt.enabled = true;
        mqtt.port = broker_->Port();
        TConfigStore store(storePath);
        // Control\Mqtt makes Control exist, so its defaults are no longer written at the
        // first start: the soak writes them.
        store.WriteString(kControlKey, QStringLiteral("Name"), kDefaultProgId);
        store.WriteString(kControlKey, QStringLiteral("Password"), CryptPsw(kDefaultPassword));
        SaveMqttSettings(store, mqtt);
        outcome.mqtt = true;
    }

    if (!StartSims()) {
        outcome.messages << "a simulator did not start";
        return outcome;
    }
    if (!server_.Start()) {
        outcome.messages << "the accounting server did not start";
        return outcome;
    }
    Say("4 simulated lines and the accounting server are up");

    TCoreOptions options;
    options.programDir = programDir;
    options.storePath = storePath;
    options.retryPeriodMs = 1000;
    core_ = std::make_unique<TMainCore>(options, &listener_);
    listener_.core = core_.get();
    core_->StartUp();
    settings_ = std::make_unique<TStoreLineSettings>(storePath);
    for (int line = 1; line <= 4; ++line) {
        pollers_.push_back(std::make_unique<TLinePoller>(LineTraits(line), core_->LineList(line),
                                                         *settings_,
                                                         views_[static_cast<size_t>(line - 1)]));
        pollers_.back()->Init();
    }
    for (const TQuietView& view : views_)
        for (const std::string& m : view.messages)
            listener_.messages << QString::fromStdString(m);
    if (!listener_.messages.isEmpty() || Forwarder() == nullptr) {
        outcome.messages = listener_.messages;
        Cleanup();
        return outcome;
    }

    // Baselines: the weighers stand still until every terminal has taken its first total.
    WaitUntil([&] { return SimsStill(); }, 30000);
    if (!WaitUntil([&] { return AllBaselined() && SimsStill(); }, 60000))
        Say("not every terminal took a baseline in time");
    std::map<TTerminalKey, TTerminalTruth> truth;
    for (const auto& [key, r] : Records())
        truth[key] = {r.value("decimals").toInt(), r.value("passed_raw").toInteger(), 0};
    outcome.memoryStartKiB = ResidentKiB();
    Say(QStringLiteral("baselines taken; weighers start; memory %1 KiB")
            .arg(outcome.memoryStartKiB));
    ControlAll("start all");

    Timeline();

    Say("stop all: waiting until every change is booked and nothing waits in the ledger");
    ControlAll("stop all");
    outcome.settled = WaitUntil([&] { return SimsStill() && Settled(); }, 180000);
    if (!outcome.settled)
        Say("NOT SETTLED: something was not booked or still waits in the ledger");
    outcome.memoryEndKiB = ResidentKiB(); // before the comparison reads the memo file
    for (const auto& [key, r] : Records())
        truth[key].passedEndRaw = r.value("passed_raw").toInteger();

    TLedgerInput input {lines_, truth, listener_.coreBookings, listener_.linkLosses,
                        ReadMemoLog(dir_ + "/memo.log")};
    const TLedgerResult ledger = Compare(input);
    for (const QString& line : ledger.report)
        std::printf("%s\n", qPrintable(line));
    outcome.differenceKg = ledger.differenceKg;
    outcome.wrong = ledger.wrong;
    outcome.lost = ledger.lost;
    outcome.duplicated = ledger.duplicated;
    outcome.kept = listener_.kept;
    outcome.mostWaiting = mostWaiting_;
    outcome.messages = listener_.messages;
    if (subscriber_) {
        const TMqttTally mqtt = CompareMqtt(listener_.coreBookings, subscriber_->Messages());
        outcome.mqttReceived = mqtt.received;
        outcome.mqttLost = mqtt.lost;
        outcome.mqttTwice = mqtt.twice;
        outcome.mqttRepeats = mqtt.repeats;
    }
    Cleanup();
    return outcome;
}

void TSoak::Cleanup()
{
    for (auto& poller : pollers_)
        poller->Stoping();
    pollers_.clear();
    if (core_)
        core_->FormDestroy();
    core_.reset();
    listener_.core = nullptr;
    for (TSimLine& sim : sims_)
        sim.process->Stop();
}

} // namespace

bool TSoakOutcome::Passed() const
{
    const bool money = std::abs(differenceKg) < 1e-6;
    return settled && money && wrong == 0 && lost == 0 && duplicated == 0 && mqttLost == 0 &&
        mqttTwice == 0 && messages.isEmpty() &&
        memoryEndKiB - memoryStartKiB <= kMemoryToleranceKiB;
}

TSoakOutcome RunSoak(const TSoakOptions& options)
{
    gClock.start();
    QTemporaryDir temp;
    QString dir = options.workDir;
    if (dir.isEmpty())
        dir = temp.path();
    QDir().mkpath(dir);
    TSoak soak(options, QDir(dir).absolutePath());
    return soak.Run();
}

} // namespace karvel::soak
