// Topics, payloads and the stored settings of the MQTT side, without a broker.
#include "config_store.h"
#include "control_settings.h"
#include "mqtt_messages.h"
#include "mqtt_settings.h"
#include "step_error.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace karvel {
namespace {

const QString kMqtt = QStringLiteral("Software\\Vistam\\Karvel_net\\Control\\Mqtt");
const QString kControl = QStringLiteral("Software\\Vistam\\Karvel_net\\Control");

TEST(MqttMessages, ABookingCarriesItsIdAndItsTimeWithTheLocalOffset)
{
    TLedgerChange c;
    c.changeId = "st-1:1700000000000001";
    c.bookedAtMs = 1772863504250; // 2026-03-07 06:05:04.250 UTC
    c.utcOffsetS = 3 * 3600;
    c.line = 2;
    c.netNum = 12;
    c.product = "Пшеница";
    c.countC = 1234.5;
    c.countD = 10.25;
    EXPECT_EQ(QString::fromUtf8(BookingJson(c)),
              QStringLiteral("{\"Count_C\":1234.5,\"Count_D\":10.25,"
                             "\"changeId\":\"st-1:1700000000000001\","
                             "\"line\":2,\"netNum\":12,\"product\":\"Пшеница\","
                             "\"time\":\"2026-03-07T09:05:04.250+03:00\"}"));
}

TEST(MqttMessages, TopicsOfAStation)
{
    EXPECT_EQ(BookingTopic("karvel", "abc"), "karvel/abc/booking");
    EXPECT_EQ(StatusTopic("plant/a", "abc"), "plant/a/abc/status");
    EXPECT_EQ(TerminalStateTopic("karvel", "abc", 3, 17), "karvel/abc/line/3/terminal/17/state");
}

TEST(MqttMessages, LiveValuesGiveTheWeightAsANumberOnceTheTerminalAnswered)
{
    TLiveTerminal t;
    t.product = "Овес";
    t.total = 10.5;
    t.portions = 3;
    t.link = true;
    auto object = [&] { return QJsonDocument::fromJson(LiveJson(t)).object(); };
    EXPECT_TRUE(object().value("weight").isNull());
    t.weight = " 12.40";
    EXPECT_DOUBLE_EQ(object().value("weight").toDouble(), 12.4);
    EXPECT_EQ(object().value("portions").toInt(), 3);
    EXPECT_EQ(object().value("product").toString(), QStringLiteral("Овес"));
    EXPECT_TRUE(object().value("link").toBool());
}

class MqttSettingsTest : public ::testing::Test {
protected:
    QString StorePath() const { return dir_.filePath("Karvel_net.reg"); }
    QTemporaryDir dir_;
};

TEST_F(MqttSettingsTest, AStoreWithoutTheValuesReadsAsOffWithTheDefaults)
{
    {
        TConfigStore store(StorePath());
        store.WriteString(kControl, "Name", "KarvelC.DataControlServ");
        store.Flush();
    }
    TConfigStore store(StorePath());
    EXPECT_EQ(LoadMqttSettings(store), TMqttSettings {});
    EXPECT_FALSE(TMqttSettings {}.enabled);
    EXPECT_EQ(TMqttSettings {}.topicPrefix, "karvel");
}

TEST_F(MqttSettingsTest, SavedSettingsReadBackAndThePasswordIsNotStoredInTheClear)
{
    TMqttSettings s;
    s.enabled = true;
    s.host = "broker.plant";
    s.port = 8883;
    s.tls = true;
    s.caFile = "/etc/karvel/ca.crt";
    s.user = "station-1";
    s.password = "s3cret";
    s.topicPrefix = "plant/karvel";
    {
        TConfigStore store(StorePath());
        SaveMqttSettings(store, s);
    }
    TConfigStore store(StorePath());
    EXPECT_EQ(LoadMqttSettings(store), s);
    EXPECT_NE(store.ReadString(kMqtt, "Password"), "s3cret");
}

TEST_F(MqttSettingsTest, AValueOfTheWrongTypeIsAnError)
{
    {
        TConfigStore store(StorePath());
        store.WriteString(kMqtt, "Port", "1883");
        store.Flush();
    }
    TConfigStore store(StorePath());
    EXPECT_THROW(LoadMqttSettings(store), TStepError);
}

TEST_F(MqttSettingsTest, TheStationIdIsWrittenOnceAndKept)
{
    QString first;
    {
        TConfigStore store(StorePath());
        first = ReadOrCreateStationId(store);
    }
    TConfigStore store(StorePath());
    EXPECT_EQ(first.size(), 36);
    EXPECT_EQ(ReadOrCreateStationId(store), first);
}

TEST(MqttSettingsCheck, SettingsThatCannotWorkAreNamed)
{
    struct Case {
        const char* what;
        std::function<void(TMqttSettings&)> change;
        bool ok;
    };
    const Case cases[] = {
        {"defaults", [](TMqttSettings&) {}, true},
        {"empty host", [](TMqttSettings& s) { s.host = " "; }, false},
        {"port 0", [](TMqttSettings& s) { s.port = 0; }, false},
        {"port 65536", [](TMqttSettings& s) { s.port = 65536; }, false},
        {"wildcard prefix", [](TMqttSettings& s) { s.topicPrefix = "a/#"; }, false},
        {"plus prefix", [](TMqttSettings& s) { s.topicPrefix = "a+b"; }, false},
        {"trailing slash", [](TMqttSettings& s) { s.topicPrefix = "a/"; }, false},
        {"empty prefix", [](TMqttSettings& s) { s.topicPrefix.clear(); }, false},
        {"TLS without CA", [](TMqttSettings& s) { s.tls = true; }, false},
        {"password without user", [](TMqttSettings& s) { s.password = "x"; }, false},
        {"nested prefix", [](TMqttSettings& s) { s.topicPrefix = "plant/k"; }, true},
    };
    for (const Case& c : cases) {
        TMqttSettings s;
        c.change(s);
        EXPECT_EQ(!CheckMqttSettings(s).has_value(), c.ok) << c.what;
    }
}

} // namespace
} // namespace karvel
