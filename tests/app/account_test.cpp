// The accounting client against the recording server on the private session bus.
#include "account_client.h"
#include "account_error.h"
#include "recorder_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include "qstring_print.h"

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::TRecorderProcess;
using test::UniqueName;

std::unique_ptr<TAccountClient> MustCreate(const QString& name, int timeoutMs = 3000)
{
    QString error;
    auto client = TAccountClient::Create(name, timeoutMs, error);
    EXPECT_TRUE(client) << error.toStdString();
    return client;
}

TEST(AccountClient, CreatesTheObjectAndCallsByNameWithArgumentsInOrder)
{
    TRecorderProcess server(UniqueName("KarvelT.Client"));
    {
        auto client = MustCreate(server.Name());
        ASSERT_TRUE(client);
        EXPECT_EQ(client->ObjectPath(), QStringLiteral("/obj/1"));
        EXPECT_EQ(
            client->Call("AddCountLine2",
                         TAccountClient::CountArgs(12, QStringLiteral("Пшеница"), 1234.5, 10.25)),
            std::nullopt);
        EXPECT_EQ(client->Call("Connect", {QStringLiteral("db=1")}), std::nullopt);
    }
    EXPECT_EQ(server.Calls(),
              (QStringList {"CreateObject",
                            QStringLiteral("AddCountLine2(ysdd): 12|Пшеница|1234.5|10.25"),
                            "Connect(s): db=1", "Release"}));
}

TEST(AccountClient, FailuresCarryTheirAutomationCodes)
{
    TRecorderProcess server(UniqueName("KarvelT.Codes"), {"--no-connect"});
    auto client = MustCreate(server.Name());
    ASSERT_TRUE(client);
    struct Case {
        QString method;
        QVariantList args;
        QString code;
    } cases[] = {
        {"AddCountLine9", TAccountClient::CountArgs(1, "P", 1, 2), "80020006h"},
        {"Connect", {QStringLiteral("x")}, "80020006h"},
        {"AddCountLine1", {QStringLiteral("wrong")}, "80020005h"},
    };
    for (const Case& c : cases) {
        const auto error = client->Call(c.method, c.args);
        ASSERT_TRUE(error) << c.method.toStdString();
        EXPECT_TRUE(error->contains(c.code)) << error->toStdString();
    }
    server.SetFailing(true);
    const auto refused = client->Call("AddCountLine1", TAccountClient::CountArgs(1, "P", 1, 2));
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->contains("80020009h")) << refused->toStdString();
}

TEST(AccountClient, NoServerMeansClassNotRegistered)
{
    struct Case {
        QString id;
        QString code;
    } cases[] = {{UniqueName("KarvelT.Nobody"), "80040154h"},
                 {"not an identifier", "800401F3h"},
                 {"", "800401F3h"}};
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(TAccountClient::Create(c.id, 1000, error));
        EXPECT_TRUE(error.contains(c.code)) << error.toStdString();
    }
}

TEST(AccountClient, ACallNeverWaitsLongerThanItsTimeOut)
{
    TRecorderProcess server(UniqueName("KarvelT.Slow"));
    auto client = MustCreate(server.Name(), 200);
    ASSERT_TRUE(client);
    server.SetDelay(3000);
    QElapsedTimer timer;
    timer.start();
    const auto error = client->Call("AddCountLine1", TAccountClient::CountArgs(1, "P", 1, 2));
    EXPECT_LT(timer.elapsed(), 2500);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains("800706BAh")) << error->toStdString();
}

TEST(AccountClient, StartsTheServerByBusActivation)
{
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        GTEST_SKIP() << "XDG_DATA_HOME of the private bus is not set";
    const QString name = UniqueName("KarvelT.Activated");
    const QString dir = dataHome + "/dbus-1/services";
    ASSERT_TRUE(QDir().mkpath(dir));
    QFile service(dir + "/" + name + ".service");
    ASSERT_TRUE(service.open(QIODevice::WriteOnly | QIODevice::Truncate));
    service.write(QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 --name %1 -Embedding\n")
                      .arg(name, TRecorderProcess::Path())
                      .toUtf8());
    service.close();
    auto client = MustCreate(name);
    ASSERT_TRUE(client);
    EXPECT_EQ(client->Call("AddCountLine3", TAccountClient::CountArgs(7, "Овес", 5, 1)),
              std::nullopt);
    client.reset();
    const QDBusMessage calls = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(name, "/Recorder", "KarvelT.Recorder", "Calls"));
    EXPECT_EQ(calls.arguments().value(0).toStringList(),
              (QStringList {"CreateObject", QStringLiteral("AddCountLine3(ysdd): 7|Овес|5|1"),
                            "Release"}));
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(name, "/Recorder", "KarvelT.Recorder", "Quit"));
    QFile::remove(service.fileName());
}

} // namespace
} // namespace karvel
