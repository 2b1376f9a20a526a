// The accounting client against the recording server on the private session bus: every
// step, from making the object on, answers through the event loop.
#include "account_client.h"
#include "account_error.h"
#include "recorder_process.h"

#include <QDBusPendingReply>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include "qstring_print.h"

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::TRecorderProcess;
using test::UniqueName;

bool WaitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Opens the object and waits for the outcome; the error text, if any.
std::optional<QString> OpenAndWait(TAccountClient& client, int ms = 10000)
{
    bool done = false;
    std::optional<QString> error;
    client.OnOpened = [&](const std::optional<QString>& e, const QString&) {
        done = true;
        error = e;
    };
    client.Open();
    if (!WaitUntil([&] { return done; }, ms))
        return QStringLiteral("no outcome");
    return error;
}

std::unique_ptr<TAccountClient> MustOpen(const QString& name, int timeoutMs = 3000)
{
    auto client = std::make_unique<TAccountClient>(name, timeoutMs);
    const auto error = OpenAndWait(*client);
    EXPECT_EQ(error, std::nullopt);
    return error ? nullptr : std::move(client);
}

std::optional<QString> CallAndWait(TAccountClient& client, const QString& method,
                                   const QVariantList& args)
{
    QDBusPendingCall call = client.CallAsync(method, args);
    call.waitForFinished();
    if (call.isError())
        return AccountErrorText(call.error());
    return std::nullopt;
}

TEST(AccountClient, CreatesTheObjectAndCallsByNameWithArgumentsInOrder)
{
    TRecorderProcess server(UniqueName("KarvelT.Client"));
    {
        auto client = MustOpen(server.Name());
        ASSERT_TRUE(client);
        EXPECT_EQ(client->ObjectPath(), QStringLiteral("/obj/1"));
        EXPECT_FALSE(client->HasAddCount());
        EXPECT_EQ(
            CallAndWait(*client, "AddCountLine2",
                        TAccountClient::CountArgs(12, QStringLiteral("Пшеница"), 1234.5, 10.25)),
            std::nullopt);
        EXPECT_EQ(CallAndWait(*client, "Connect", {QStringLiteral("db=1")}), std::nullopt);
    }
    // The release is not waited for.
    EXPECT_TRUE(WaitUntil([&] { return server.Calls().size() == 4; }, 5000));
    EXPECT_EQ(server.Calls(),
              (QStringList {"CreateObject",
                            QStringLiteral("AddCountLine2(ysdd): 12|Пшеница|1234.5|10.25"),
                            "Connect(s): db=1", "Release"}));
}

TEST(AccountClient, AnObjectOfferingAddCountIsSeenThroughItsIntrospection)
{
    TRecorderProcess server(UniqueName("KarvelT.Two"), {"--addcount"});
    auto client = MustOpen(server.Name());
    ASSERT_TRUE(client);
    EXPECT_TRUE(client->HasAddCount());
    QDBusPendingCall call = client->CallAsync(
        TAccountClient::kDispatch2Interface, "AddCount",
        TAccountClient::AddCountArgs(3, 7, QStringLiteral("Овес"), 5, 1, "st:10"));
    call.waitForFinished();
    EXPECT_FALSE(call.isError()) << call.error().message().toStdString();
    EXPECT_EQ(server.MethodCalls(),
              QStringList {QStringLiteral("AddCount(yysdds): 3|7|Овес|5|1|st:10")});
}

TEST(AccountClient, OnlyAddCountWithItsSixArgumentsCounts)
{
    const auto xml = [](const QString& interface, const QString& args) {
        return QStringLiteral("<node><interface name=\"%1\"><method name=\"AddCount\">%2"
                              "</method></interface></node>")
            .arg(interface, args);
    };
    const QString six = "<arg type=\"y\" direction=\"in\"/><arg type=\"y\" direction=\"in\"/>"
                        "<arg type=\"s\" direction=\"in\"/><arg type=\"d\" direction=\"in\"/>"
                        "<arg type=\"d\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>";
    struct Case {
        const char* what;
        QString xml;
        bool offers;
    } cases[] = {
        {"the interface", xml("KarvelC.IDataControlServ2", six), true},
        {"args without direction",
         xml("KarvelC.IDataControlServ2", QString(six).remove(" direction=\"in\"")), true},
        {"on the old interface", xml("KarvelC.IDataControlServ", six), false},
        {"five arguments", xml("KarvelC.IDataControlServ2", six.left(six.lastIndexOf("<arg"))),
         false},
        {"no interface", "<node/>", false},
        {"broken", "<node><interface", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TAccountClient::OffersAddCount(c.xml), c.offers) << c.what;
}

TEST(AccountClient, FailuresCarryTheirAutomationCodes)
{
    TRecorderProcess server(UniqueName("KarvelT.Codes"), {"--no-connect"});
    auto client = MustOpen(server.Name());
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
        const auto error = CallAndWait(*client, c.method, c.args);
        ASSERT_TRUE(error) << c.method.toStdString();
        EXPECT_TRUE(error->contains(c.code)) << error->toStdString();
    }
    server.SetFailing(true);
    const auto refused =
        CallAndWait(*client, "AddCountLine1", TAccountClient::CountArgs(1, "P", 1, 2));
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->contains("80020009h")) << refused->toStdString();
}

TEST(AccountClient, NoServerMeansClassNotRegistered)
{
    TAccountClient nobody(UniqueName("KarvelT.Nobody"), 1000);
    const auto error = OpenAndWait(nobody);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains("80040154h")) << error->toStdString();
    for (const QString& id : {QStringLiteral("not an identifier"), QString()}) {
        const auto invalid = TAccountClient::CheckIdentifier(id);
        ASSERT_TRUE(invalid);
        EXPECT_TRUE(invalid->contains("800401F3h")) << invalid->toStdString();
    }
}

TEST(AccountClient, MakingTheObjectOnAHungServerNeverWaits)
{
    TRecorderProcess server(UniqueName("KarvelT.Slow"));
    server.SetDelay(3000);
    TAccountClient client(server.Name(), 300);
    bool done = false;
    QString errorName;
    client.OnOpened = [&](const std::optional<QString>&, const QString& name) {
        done = true;
        errorName = name;
    };
    QElapsedTimer timer;
    timer.start();
    client.Open();
    EXPECT_LT(timer.elapsed(), 50) << "Open returns at once";
    ASSERT_TRUE(WaitUntil([&] { return done; }, 5000));
    EXPECT_LT(timer.elapsed(), 2500) << "bounded by the time-out, not by the server";
    EXPECT_EQ(FailureKind(errorName), TFailureKind::Transient) << errorName.toStdString();
    EXPECT_FALSE(client.Ready());
}

TEST(AccountError, EachFailureIsTransientPermanentOrTheServersOwn)
{
    using K = TFailureKind;
    const QString bus = QStringLiteral("org.freedesktop.DBus.Error.");
    struct Case {
        QString name;
        K kind;
    } cases[] = {
        {bus + "UnknownMethod", K::Permanent},     {bus + "InvalidArgs", K::Permanent},
        {bus + "InvalidSignature", K::Permanent},  {bus + "UnknownInterface", K::Permanent},
        {bus + "NoReply", K::Transient},           {bus + "Timeout", K::Transient},
        {bus + "ServiceUnknown", K::Transient},    {bus + "NameHasNoOwner", K::Transient},
        {bus + "Disconnected", K::Transient},      {bus + "Spawn.ExecFailed", K::Transient},
        {bus + "Spawn.ChildExited", K::Transient}, {bus + "UnknownObject", K::Transient},
        {bus + "AccessDenied", K::Transient},      {bus + "Failed", K::ServerOwn},
        {"KarvelC.Error.Failed", K::ServerOwn},    {"com.example.NoSuchProduct", K::ServerOwn},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FailureKind(c.name), c.kind) << c.name.toStdString();
}

TEST(AccountError, ThePauseDoublesUpToThirtySeconds)
{
    const std::pair<int, int> cases[] = {{1, 500},   {2, 1000},   {3, 2000}, {6, 16000},
                                         {7, 30000}, {50, 30000}, {0, 500}};
    for (const auto& [failures, ms] : cases)
        EXPECT_EQ(BackoffMs(failures, 500), ms) << failures;
    EXPECT_EQ(BackoffMs(3, 60000), kMaxBackoffMs);
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
    auto client = MustOpen(name, 10000);
    ASSERT_TRUE(client);
    EXPECT_EQ(CallAndWait(*client, "AddCountLine3", TAccountClient::CountArgs(7, "Овес", 5, 1)),
              std::nullopt);
    client.reset();
    const auto calls = [&] {
        return QDBusConnection::sessionBus()
            .call(QDBusMessage::createMethodCall(name, "/Recorder", "KarvelT.Recorder", "Calls"))
            .arguments()
            .value(0)
            .toStringList();
    };
    EXPECT_TRUE(WaitUntil([&] { return calls().size() == 3; }, 5000));
    EXPECT_EQ(calls(),
              (QStringList {"CreateObject", QStringLiteral("AddCountLine3(ysdd): 7|Овес|5|1"),
                            "Release"}));
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(name, "/Recorder", "KarvelT.Recorder", "Quit"));
    QFile::remove(service.fileName());
}

} // namespace
} // namespace karvel
