// The main program's core with the MQTT side on: a broker that refuses or is not there
// never holds up the D-Bus accounting, and the changes it missed go out once it is back.
#include "config_store.h"
#include "crypt_psw.h"
#include "ledger.h"
#include "main_core.h"
#include "mqtt_settings.h"
#include "recorder_process.h"
#include "recording_listener.h"
#include "test_broker.h"
#include "test_subscriber.h"
#include "wait.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::TRecorderProcess;
using test::TTestBroker;
using test::WaitUntil;

const QString kControl = QStringLiteral("Software\\Vistam\\Karvel_net\\Control");

class MqttCoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(config_.isValid() && programDir_.isValid()); }

    void WriteStore(const QString& progId, const TMqttSettings& mqtt)
    {
        TConfigStore store(StorePath());
        store.WriteString(kControl, "Name", progId);
        store.WriteString(kControl, "Password", CryptPsw("secret"));
        for (int n = 1; n <= 4; ++n) {
            const QString key = QStringLiteral("Software\\Vistam\\Karvel_net\\Line%1").arg(n);
            store.WriteBool(key, "TerminalType", false);
            for (int i = 1; i <= 30; ++i) {
                store.WriteInteger(key, QStringLiteral("NetNum%1").arg(i),
                                   n == 1 && i == 1 ? 5 : 0);
                store.WriteString(key, QStringLiteral("NameP%1").arg(i), QStringLiteral("Рожь"));
            }
        }
        store.Flush();
        SaveMqttSettings(store, mqtt);
    }

    QString StorePath() const { return config_.filePath("Karvel_net.reg"); }

    TCoreOptions Options() const
    {
        TCoreOptions o;
        o.programDir = programDir_.path();
        o.storePath = StorePath();
        o.freeTerminalsWait = std::chrono::milliseconds(0);
        o.callTimeoutMs = 1000;
        o.retryPeriodMs = 50;
        return o;
    }

    int64_t MqttCount(ledger::TDeliveryState state)
    {
        TLedger ledger;
        if (!ledger.Open(QDir(programDir_.path()).filePath("ledger.db").toStdString(), "x"))
            return -1;
        return ledger.CountInState(ledger::kSinkMqtt, state);
    }

    QTemporaryDir config_;
    QTemporaryDir programDir_;
    test::TRecordingListener listener_;
};

TEST_F(MqttCoreTest, ABrokerThatIsNotThereNeverHoldsUpTheDbusAccountingAndGetsTheChangesLater)
{
    TRecorderProcess server(test::UniqueName("KarvelT.Mqtt"));
    TTestBroker broker;
    // The subscriber's persistent session is in the broker's store before it goes down,
    // so what the station sends after the restart is kept for the subscriber.
    ASSERT_TRUE(broker.Start());
    test::TTestSubscriber subscriber(broker.Port(), "karvel/+/booking");
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Subscribed(); }, 5000));
    broker.Stop();
    TMqttSettings mqtt;
    mqtt.enabled = true;
    mqtt.port = broker.Port();
    WriteStore(server.Name(), mqtt);
    TMainCore core(Options(), &listener_);
    ASSERT_EQ(core.FormCreate(), QStringList());
    ASSERT_NE(core.Mqtt(), nullptr);
    ASSERT_TRUE(
        WaitUntil([&] { return core.Mqtt()->StatusText().contains("Connection refused"); }, 5000))
        << core.Mqtt()->StatusText().toStdString();

    core.LineList1()[0]->FOnChangeCount(5, 10.5, 100.25, "10.50", "100.25");
    core.LineList1()[0]->FOnChangeCount(5, 11.5, 111.75, "11.50", "111.75");
    ASSERT_TRUE(WaitUntil([&] { return server.MethodCalls().size() == 2; }, 5000))
        << "the bus accounting goes on while the broker is away";
    EXPECT_EQ(server.MethodCalls(),
              (QStringList {QStringLiteral("AddCountLine1(ysdd): 5|Рожь|100.25|10.5"),
                            QStringLiteral("AddCountLine1(ysdd): 5|Рожь|111.75|11.5")}));
    EXPECT_EQ(MqttCount(ledger::TDeliveryState::Waiting), 2);

    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(WaitUntil([&] { return MqttCount(ledger::TDeliveryState::Delivered) == 2; }, 10000))
        << core.Mqtt()->StatusText().toStdString();
    EXPECT_TRUE(WaitUntil([&] { return subscriber.Count() == 2; }, 5000));
    core.FormDestroy();
    EXPECT_TRUE(listener_.messages.isEmpty());
}

TEST_F(MqttCoreTest, MqttOffByDefaultStartsNothing)
{
    TRecorderProcess server(test::UniqueName("KarvelT.Mqtt"));
    WriteStore(server.Name(), TMqttSettings {});
    TMainCore core(Options(), &listener_);
    ASSERT_EQ(core.FormCreate(), QStringList());
    EXPECT_EQ(core.Mqtt(), nullptr);
    core.LineList1()[0]->FOnChangeCount(5, 10.5, 100.25, "10.50", "100.25");
    EXPECT_TRUE(WaitUntil([&] { return server.MethodCalls().size() == 1; }, 5000));
    // The change is in the ledger for the bus only: nothing waits for a broker.
    EXPECT_EQ(MqttCount(ledger::TDeliveryState::Waiting), 0);
    EXPECT_EQ(MqttCount(ledger::TDeliveryState::Delivered), 0);
}

} // namespace
} // namespace karvel
