// The MQTT sink against a real mosquitto on a free loopback port: bookings with their ids,
// a broker that goes away and comes back, refused and unreachable brokers, retained live
// values, the station's status and last will, TLS.
#include "ledger.h"
#include "mqtt_messages.h"
#include "mqtt_station.h"
#include "test_broker.h"
#include "test_subscriber.h"
#include "wait.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace karvel {
namespace {

using test::TBrokerOptions;
using test::TReceived;
using test::TSubscriberOptions;
using test::TTestBroker;
using test::TTestSubscriber;
using test::WaitUntil;
using S = ledger::TDeliveryState;

const QString kStation = QStringLiteral("st-1");
const QString kBookings = QStringLiteral("karvel/st-1/booking");
const QString kStatus = QStringLiteral("karvel/st-1/status");

TSubscriberOptions CleanSession()
{
    TSubscriberOptions o;
    o.cleanSession = true;
    return o;
}

TSubscriberOptions WithCa(const QString& caFile)
{
    TSubscriberOptions o;
    o.caFile = caFile;
    return o;
}

TBrokerOptions TlsBroker()
{
    TBrokerOptions o;
    o.tls = true;
    return o;
}

TBrokerOptions BrokerWithUser(const QString& user, const QString& password)
{
    TBrokerOptions o;
    o.user = user;
    o.password = password;
    return o;
}

class MqttSinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(writer_.Open(LedgerPath().toStdString(), kStation.toStdString()));
        writer_.SetSinks({ledger::kSinkDbus, ledger::kSinkMqtt});
    }

    QString LedgerPath() const { return dir_.filePath("ledger.db"); }

    TLedgerChange Append(int i)
    {
        TLedgerChange c;
        c.bookedAtMs = 1772863504250 + i;
        c.utcOffsetS = 3 * 3600;
        c.line = 1 + i % 4;
        c.netNum = 1 + i % 30;
        c.product = "Продукт " + std::to_string(i % 5);
        c.countC = 1000 + i;
        c.countD = 10 + i % 7;
        EXPECT_TRUE(writer_.Append(c)) << writer_.LastError();
        ids_.push_back(QString::fromStdString(c.changeId));
        return c;
    }

    TMqttSinkConfig Config(int port) const
    {
        TMqttSinkConfig c;
        c.settings.enabled = true;
        c.settings.host = "127.0.0.1";
        c.settings.port = port;
        c.stationId = kStation;
        c.ledgerPath = LedgerPath();
        c.retryMinMs = 50;
        c.retryMaxMs = 200;
        return c;
    }

    int64_t Count(S state) { return writer_.CountInState(ledger::kSinkMqtt, state); }

    static QStringList IdsOf(const std::vector<TReceived>& messages)
    {
        QStringList ids;
        for (const TReceived& m : messages)
            ids << QJsonDocument::fromJson(m.payload).object().value("changeId").toString();
        return ids;
    }

    QTemporaryDir dir_;
    TLedger writer_;
    QStringList ids_;
};

TEST_F(MqttSinkTest, BookingsArriveInOrderWithTheirIdsAndAreMarkedDeliveredForThisSinkOnly)
{
    TTestBroker broker;
    ASSERT_TRUE(broker.Start());
    TTestSubscriber subscriber(broker.Port(), kBookings);
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Subscribed(); }, 5000));
    const TLedgerChange first = Append(0); // waited before the station started
    Append(1);
    TMqttStation station(Config(broker.Port()));
    Append(2);
    station.ChangeAppended();
    ASSERT_TRUE(
        WaitUntil([&] { return subscriber.Count() >= 3 && Count(S::Delivered) == 3; }, 10000))
        << station.StatusText().toStdString();
    EXPECT_EQ(IdsOf(subscriber.Messages()), ids_);
    EXPECT_EQ(subscriber.Messages().front().payload, BookingJson(first));
    EXPECT_EQ(writer_.CountInState(ledger::kSinkDbus, S::Waiting), 3);
    EXPECT_TRUE(station.IsConnected());
    EXPECT_EQ(station.StatusText(),
              QStringLiteral("MQTT: подключено к 127.0.0.1:%1").arg(broker.Port()));
}

TEST_F(MqttSinkTest, ABrokerStoppedTwiceWhileChangesAreMadeLosesNothingAndRepeatsKeepTheirIds)
{
    TTestBroker broker;
    ASSERT_TRUE(broker.Start());
    TTestSubscriber subscriber(broker.Port(), kBookings);
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Subscribed(); }, 5000));
    TMqttStation station(Config(broker.Port()));
    ASSERT_TRUE(WaitUntil([&] { return station.IsConnected(); }, 5000));
    int next = 0;
    auto burst = [&](int n) {
        for (int i = 0; i < n; ++i)
            Append(next++);
        station.ChangeAppended();
    };
    for (int round = 0; round < 2; ++round) {
        burst(300);
        test::RunFor(5); // some are in flight, some acknowledged, some not yet sent
        broker.Stop();
        burst(100); // while the broker is down
        ASSERT_TRUE(WaitUntil([&] { return !station.IsConnected(); }, 5000));
        EXPECT_TRUE(station.StatusText().startsWith("MQTT: нет связи с брокером 127.0.0.1:"))
            << station.StatusText().toStdString();
        ASSERT_TRUE(broker.Start());
        burst(50);
    }
    ASSERT_TRUE(WaitUntil([&] { return Count(S::Delivered) == next; }, 30000))
        << Count(S::Delivered) << " of " << next;
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Count() >= static_cast<size_t>(next); }, 10000));
    test::RunFor(200);

    // Every change arrived; a change that arrived twice is the same message both times;
    // the first arrivals are in the ledger's order.
    std::map<QString, QByteArray> seen;
    QStringList firstArrivals;
    for (const TReceived& m : subscriber.Messages()) {
        const QString id = QJsonDocument::fromJson(m.payload).object().value("changeId").toString();
        const auto [it, fresh] = seen.emplace(id, m.payload);
        if (fresh)
            firstArrivals << id;
        else
            EXPECT_EQ(it->second, m.payload) << id.toStdString();
    }
    EXPECT_EQ(firstArrivals, ids_);
    EXPECT_EQ(Count(S::Waiting), 0);
}

TEST_F(MqttSinkTest, ARefusedOrUnreachableBrokerGivesAClearStatusAndTheChangeWaits)
{
    TTestBroker broker(BrokerWithUser("station-1", "right"));
    ASSERT_TRUE(broker.Start());
    struct Case {
        const char* what;
        int port;
        QString user;
        QString password;
        QString status;
    };
    const int closed = TTestBroker::FreePort();
    const Case cases[] = {
        {"wrong password", broker.Port(), "station-1", "wrong",
         QStringLiteral(
             "MQTT: нет связи с брокером 127.0.0.1:%1: брокер отказал в "
             "подключении: нет прав на подключение (проверьте имя пользователя и пароль)")
             .arg(broker.Port())},
        {"no user", broker.Port(), "", "",
         QStringLiteral(
             "MQTT: нет связи с брокером 127.0.0.1:%1: брокер отказал в "
             "подключении: нет прав на подключение (проверьте имя пользователя и пароль)")
             .arg(broker.Port())},
        {"nobody listens", closed, "", "",
         QStringLiteral("MQTT: нет связи с брокером 127.0.0.1:%1: Connection refused").arg(closed)},
    };
    Append(0);
    for (const Case& c : cases) {
        TMqttSinkConfig config = Config(c.port);
        config.settings.user = c.user;
        config.settings.password = c.password;
        TMqttStation station(config);
        EXPECT_TRUE(WaitUntil([&] { return station.StatusText() == c.status; }, 5000))
            << c.what << ": " << station.StatusText().toStdString();
        EXPECT_EQ(Count(S::Waiting), 1) << c.what;
    }
    // The right password: the change that waited goes out.
    TMqttSinkConfig config = Config(broker.Port());
    config.settings.user = "station-1";
    config.settings.password = "right";
    TMqttStation station(config);
    EXPECT_TRUE(WaitUntil([&] { return Count(S::Delivered) == 1; }, 5000))
        << station.StatusText().toStdString();
}

TEST_F(MqttSinkTest, LiveValuesAreRetainedAndSentOnlyWhenTheyChange)
{
    TTestBroker broker;
    ASSERT_TRUE(broker.Start());
    const QString topic = QStringLiteral("karvel/st-1/line/2/terminal/7/state");
    TTestSubscriber early(broker.Port(), "karvel/st-1/line/#", CleanSession());
    ASSERT_TRUE(WaitUntil([&] { return early.Subscribed(); }, 5000));
    TMqttStation station(Config(broker.Port()));
    TLiveTerminal terminal;
    terminal.line = 2;
    terminal.netNum = 7;
    terminal.product = "Ячмень";
    terminal.weight = "5.5";
    terminal.link = true;
    station.SetLiveSource([&] { return std::vector<TLiveTerminal> {terminal}; }, 20);
    ASSERT_TRUE(WaitUntil([&] { return early.On(topic).size() == 1; }, 5000));
    test::RunFor(200); // ten takes of unchanged values
    EXPECT_EQ(early.On(topic).size(), 1u);

    terminal.weight = "6.0";
    ASSERT_TRUE(WaitUntil([&] { return early.On(topic).size() == 2; }, 5000));
    EXPECT_EQ(early.On(topic).back().payload, LiveJson(terminal));

    TTestSubscriber late(broker.Port(), topic, CleanSession());
    ASSERT_TRUE(WaitUntil([&] { return late.On(topic).size() == 1; }, 5000));
    EXPECT_TRUE(late.On(topic).front().retained);
    EXPECT_EQ(late.On(topic).front().payload, LiveJson(terminal));

    // The terminal is taken out of the lines: its retained values are cleared.
    station.SetLiveSource([] { return std::vector<TLiveTerminal> {}; }, 20);
    ASSERT_TRUE(WaitUntil([&] { return early.On(topic).size() == 3; }, 5000));
    EXPECT_TRUE(early.On(topic).back().payload.isEmpty());
    TTestSubscriber later(broker.Port(), topic, CleanSession());
    ASSERT_TRUE(WaitUntil([&] { return later.Subscribed(); }, 5000));
    test::RunFor(200);
    EXPECT_TRUE(later.On(topic).empty());
}

TEST_F(MqttSinkTest, TheStatusIsRetainedOnlineThenOfflineOnACleanStopAndByTheLastWill)
{
    TTestBroker broker;
    ASSERT_TRUE(broker.Start());
    auto lastStatus = [&] {
        TTestSubscriber probe(broker.Port(), kStatus, CleanSession());
        WaitUntil([&] { return probe.Count() > 0; }, 3000);
        const auto messages = probe.Messages();
        return messages.empty() ? QByteArray() : messages.back().payload;
    };
    {
        TMqttStation station(Config(broker.Port()));
        ASSERT_TRUE(WaitUntil([&] { return station.IsConnected(); }, 5000));
        EXPECT_EQ(lastStatus(), kStatusOnline);
    }
    EXPECT_EQ(lastStatus(), kStatusOffline); // said before the clean disconnect

    // A station that dies without a word: the broker publishes its last will.
    QProcess station;
    station.setProcessChannelMode(QProcess::ForwardedChannels);
    station.start(QStringLiteral(KARVEL_MQTT_PROBE_PATH),
                  {QString::number(broker.Port()), kStation, LedgerPath()});
    ASSERT_TRUE(station.waitForStarted());
    TTestSubscriber watcher(broker.Port(), kStatus, CleanSession());
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !watcher.Messages().empty() &&
                watcher.Messages().back().payload == kStatusOnline;
        },
        5000));
    station.kill();
    station.waitForFinished();
    ASSERT_TRUE(
        WaitUntil([&] { return watcher.Messages().back().payload == kStatusOffline; }, 5000));
    EXPECT_EQ(lastStatus(), kStatusOffline);
}

TEST_F(MqttSinkTest, TlsWithTheBrokersCaDeliversAndAForeignCaIsRefused)
{
    TTestBroker broker(TlsBroker());
    ASSERT_TRUE(broker.Start()) << broker.Log().toStdString();
    TTestSubscriber subscriber(broker.Port(), kBookings, WithCa(broker.CaFile()));
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Subscribed(); }, 5000));
    Append(0);
    {
        // A certificate that did not sign the broker's: the broker is not trusted.
        TMqttSinkConfig config = Config(broker.Port());
        config.settings.tls = true;
        config.settings.caFile = QDir(broker.Dir()).filePath("server.crt");
        TMqttStation station(config);
        EXPECT_TRUE(WaitUntil([&] { return station.StatusText().contains("TLS"); }, 5000))
            << station.StatusText().toStdString();
        EXPECT_EQ(Count(S::Waiting), 1);
    }
    TMqttSinkConfig config = Config(broker.Port());
    config.settings.tls = true;
    config.settings.caFile = broker.CaFile();
    TMqttStation station(config);
    ASSERT_TRUE(
        WaitUntil([&] { return subscriber.Count() == 1 && Count(S::Delivered) == 1; }, 10000))
        << station.StatusText().toStdString();
    EXPECT_EQ(IdsOf(subscriber.Messages()), ids_);
}

} // namespace
} // namespace karvel
