// The KarvelC executable on a bus daemon of the test's own: registration, start by the
// bus, the example line, the end after the last release.

#include "bus_call.h"
#include "memo_line.h"
#include "private_bus.h"
#include "type_library.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace karvel::server {
namespace {

using test::callAndWait;
using test::countArguments;
using test::methodCall;
using test::PrivateBus;

const QString kName = QStringLiteral("KarvelC.DataControlServ");
const QString kFactory = QStringLiteral("/KarvelC/DataControlServ");
const QString kServer = QStringLiteral(KARVELC_PATH);

QProcessEnvironment russian()
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("ru_RU.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("ru_RU.UTF-8"));
    return env;
}

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList memoLines(const PrivateBus& bus)
{
    return readFile(bus.memoLogPath()).split(u'\n', Qt::SkipEmptyParts);
}

QString serviceFile(const PrivateBus& bus)
{
    return bus.serviceDir() + QStringLiteral("/KarvelC.DataControlServ.service");
}

class ProcessTest : public ::testing::Test {
protected:
    void start(const QProcessEnvironment& extra = {})
    {
        bus = std::make_unique<PrivateBus>(extra);
        ASSERT_TRUE(bus->isRunning()) << "dbus-daemon did not start";
        client = bus->connect(QStringLiteral("client"));
        ASSERT_TRUE(client.isConnected());
    }

    void registerServer(const QString& program = kServer)
    {
        QString output;
        ASSERT_EQ(bus->run(program, {QStringLiteral("/RegServer")}, &output), 0)
            << output.toStdString();
    }

    QDBusMessage call(const QString& path, const char* interface, const char* member,
                      const QVariantList& args = {})
    {
        return callAndWait(client, methodCall(kName, path, interface, member, args));
    }

    QString createObject()
    {
        const QDBusMessage reply = call(kFactory, tlb::kFactoryInterface, "CreateObject");
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusObjectPath>().path();
    }

    bool nameOwned() { return client.interface()->isServiceRegistered(kName).value(); }

    std::unique_ptr<PrivateBus> bus;
    QDBusConnection client {QString()};
};

TEST_F(ProcessTest, RegistrationWritesAndRemovesTheActivationFile)
{
    start();
    registerServer();
    const QString expectedExec = QFileInfo(kServer).canonicalFilePath();
    EXPECT_EQ(readFile(serviceFile(*bus)),
              QStringLiteral("[D-BUS Service]\nName=KarvelC.DataControlServ\nExec=") +
                  expectedExec + QStringLiteral(" -Embedding\n"));
    EXPECT_FALSE(nameOwned()); // registering does not start a server

    EXPECT_EQ(bus->run(kServer, {QStringLiteral("-UNREGSERVER")}), 0);
    EXPECT_FALSE(QFileInfo::exists(serviceFile(*bus)));
    EXPECT_EQ(bus->run(kServer, {QStringLiteral("-unregserver")}), 0); // nothing left to remove
}

TEST_F(ProcessTest, RegistrationThatCannotBeWrittenFails)
{
    start();
    // XDG_DATA_HOME below a plain file cannot hold the directory.
    QFile blocker(bus->home() + QStringLiteral("/blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    PrivateBus& b = *bus;
    QProcessEnvironment broken = b.environment();
    broken.insert(QStringLiteral("XDG_DATA_HOME"), blocker.fileName());
    QProcess process;
    process.setProcessEnvironment(broken);
    process.start(kServer, {QStringLiteral("/regserver")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_NE(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardError().contains("registration failed"));
}

TEST_F(ProcessTest, FirstCallStartsTheServerWhichWritesTheExampleLine)
{
    start(russian());
    registerServer();
    ASSERT_FALSE(nameOwned());

    const QString path = createObject(); // the bus starts KarvelC for this call
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(nameOwned());

    const QDateTime before = QDateTime::currentDateTime();
    const QDBusMessage reply = call(path, tlb::kDispatchInterface, "AddCountLine2",
                                    countArguments(5, QStringLiteral("Пшеница"), 1234.5, 12.35));
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();

    ASSERT_TRUE(test::waitUntil([&] { return memoLines(*bus).size() == 1; }));
    const QString line = memoLines(*bus).front();
    const QLocale ru(QStringLiteral("ru_RU"));
    const QString tail =
        QStringLiteral("  Линия 2; Продукт: Пшеница Сетевой номер:5;  С:1234,5;  D:12,35");
    EXPECT_TRUE(line == dateTimeText(before, ru) + tail || line == dateTimeText(after, ru) + tail)
        << line.toStdString();

    // Connect is not a member: refused, nothing written.
    const QDBusMessage connect =
        call(path, tlb::kDispatchInterface, "Connect", {QStringLiteral("DSN=accounting")});
    EXPECT_EQ(connect.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
    // A later call's line proves the refused one would have been written before it.
    ASSERT_EQ(call(path, tlb::kDispatchInterface, "AddQXCountLine2",
                   countArguments(5, QStringLiteral("Пшеница"), 1234.5, 12.35))
                  .type(),
              QDBusMessage::ReplyMessage);
    ASSERT_TRUE(test::waitUntil([&] { return memoLines(*bus).size() >= 2; }));
    const QStringList lines = memoLines(*bus);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(tail)) << lines[1].toStdString();
}

TEST_F(ProcessTest, TheLastReleaseEndsAServerTheBusStarted)
{
    start();
    registerServer();
    const QString first = createObject();
    const QString second = createObject();
    const qint64 pid = bus->ownerPid(kName);
    ASSERT_GT(pid, 0);

    ASSERT_EQ(call(first, tlb::kUnknownInterface, "Release").type(), QDBusMessage::ReplyMessage);
    // One object is still held: the server stays.
    EXPECT_EQ(call(second, tlb::kDispatchInterface, "AddCountLine1",
                   countArguments(1, QStringLiteral("Рожь"), 1, 1))
                  .type(),
              QDBusMessage::ReplyMessage);
    EXPECT_TRUE(test::processAlive(pid));

    const QDBusMessage release = call(second, tlb::kUnknownInterface, "Release");
    EXPECT_EQ(release.type(), QDBusMessage::ReplyMessage) << release.errorMessage().toStdString();
    EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pid); }));
    EXPECT_FALSE(nameOwned());
}

TEST_F(ProcessTest, AServerTheBusStartedEndsWhenItsClientLeaves)
{
    start();
    registerServer();
    {
        QDBusConnection leaver = bus->connect(QStringLiteral("leaver"));
        const QDBusMessage reply = callAndWait(
            leaver, methodCall(kName, kFactory, tlb::kFactoryInterface, "CreateObject"));
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    }
    const qint64 pid = bus->ownerPid(kName);
    ASSERT_GT(pid, 0);

    QDBusConnection::disconnectFromBus(QStringLiteral("leaver")); // without Release
    EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pid); }));
}

TEST_F(ProcessTest, AServerTheBusStartedEndsWithItsBus)
{
    start();
    registerServer();
    ASSERT_FALSE(createObject().isEmpty());
    const qint64 pid = bus->ownerPid(kName);
    ASSERT_GT(pid, 0);
    client = QDBusConnection(QString());
    bus->stopDaemon(); // nobody can release the object any more
    EXPECT_TRUE(test::waitUntil([&] { return !test::processAlive(pid); }));
}

TEST_F(ProcessTest, AServerTheBusStartedForAClientThatNeverAsksEnds)
{
    QProcessEnvironment shortWait;
    shortWait.insert(QStringLiteral("KARVELC_FIRST_OBJECT_WAIT_MS"), QStringLiteral("500"));
    start(shortWait);
    registerServer();
    // Started as the bus starts it, but the client that wanted it is gone.
    QProcess server;
    server.setProcessEnvironment(bus->environment());
    server.start(kServer, {QStringLiteral("-Embedding")});
    ASSERT_TRUE(server.waitForStarted());
    EXPECT_TRUE(server.waitForFinished(20000));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
    EXPECT_FALSE(nameOwned());
    if (server.state() != QProcess::NotRunning) {
        server.kill();
        server.waitForFinished();
    }
}

TEST_F(ProcessTest, ASecondServerCannotTakeTheName)
{
    start();
    registerServer();
    ASSERT_FALSE(createObject().isEmpty());
    QString output;
    EXPECT_EQ(bus->run(kServer, {QStringLiteral("-Embedding")}, &output), 1);
    EXPECT_TRUE(output.contains(QStringLiteral("owned by another program")))
        << output.toStdString();
}

TEST_F(ProcessTest, AServerAUserStartedOutlivesItsObjects)
{
    start();
    QProcess server;
    server.setProcessEnvironment(bus->environment());
    server.start(kServer, {});
    ASSERT_TRUE(server.waitForStarted());
    ASSERT_TRUE(test::waitUntil([&] { return nameOwned(); }));
    // A start by a user registers the server too.
    EXPECT_TRUE(QFileInfo::exists(serviceFile(*bus)));

    const QString path = createObject();
    ASSERT_EQ(call(path, tlb::kUnknownInterface, "Release").type(), QDBusMessage::ReplyMessage);
    // Still there to serve the next client.
    const QString again = createObject();
    EXPECT_FALSE(again.isEmpty());
    EXPECT_NE(again, path);
    EXPECT_EQ(server.state(), QProcess::Running);
    server.terminate();
    server.waitForFinished();
}

TEST_F(ProcessTest, AProgramPathWithBlanksIsStartedToo)
{
    start();
    const QString dir = bus->home() + QStringLiteral("/Karvel it's here");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString copy = dir + QStringLiteral("/KarvelC");
    ASSERT_TRUE(QFile::copy(kServer, copy));
    QFile(copy).setPermissions(QFile(kServer).permissions());
    registerServer(copy);

    ASSERT_FALSE(createObject().isEmpty());
    EXPECT_TRUE(nameOwned());
}

} // namespace
} // namespace karvel::server
