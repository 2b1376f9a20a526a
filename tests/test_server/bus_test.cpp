// The accounting interface on a private session bus, server and client in this process
// on separate connections.

#include "automation_bus.h"
#include "bus_call.h"
#include "memo_line.h"
#include "type_library.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace karvel::server {
namespace {

using test::callAndWait;
using test::countArguments;
using test::methodCall;

const QString kName = QStringLiteral("KarvelC.DataControlServ");
const QString kFactory = QStringLiteral("/KarvelC/DataControlServ");

class BusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int round = 0;
        ++round;
        serverName = QStringLiteral("karvelc-server-%1").arg(round);
        clientName = QStringLiteral("karvelc-client-%1").arg(round);
        server = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, serverName));
        ASSERT_TRUE(server->isConnected()) << "the test needs a session bus";
        registry = std::make_unique<ObjectRegistry>(
            kFactory, [this](const QString& line) { lines.append(line); });
        automation = std::make_unique<AutomationBus>(*server, *registry, kName);
        ASSERT_TRUE(automation->attach());
        const auto error = claimBusName(*server, kName);
        ASSERT_FALSE(error) << error->toStdString();
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, clientName));
        ASSERT_TRUE(client->isConnected());
    }

    void TearDown() override
    {
        client.reset();
        QDBusConnection::disconnectFromBus(clientName);
        automation.reset();
        registry.reset();
        server.reset();
        QDBusConnection::disconnectFromBus(serverName);
    }

    QDBusMessage call(const QString& path, const char* interface, const char* member,
                      const QVariantList& args = {})
    {
        return callAndWait(*client, methodCall(kName, path, interface, member, args));
    }

    QString createObject()
    {
        const QDBusMessage reply = call(kFactory, tlb::kFactoryInterface, "CreateObject");
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.signature(), QStringLiteral("o"));
        return reply.arguments().value(0).value<QDBusObjectPath>().path();
    }

    QString serverName, clientName;
    QStringList lines;
    std::unique_ptr<QDBusConnection> server, client;
    std::unique_ptr<ObjectRegistry> registry;
    std::unique_ptr<AutomationBus> automation;
};

// Method name -> DispId annotation, in document order.
QList<std::pair<QString, int>> dispIds(const QString& xml)
{
    QList<std::pair<QString, int>> ids;
    QXmlStreamReader reader(xml);
    QString method;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1StringView("method"))
            method = reader.attributes().value(QLatin1StringView("name")).toString();
        if (reader.name() == QLatin1StringView("annotation") &&
            reader.attributes().value(QLatin1StringView("name")) ==
                QLatin1StringView("KarvelC.DispId"))
            ids.append({method, reader.attributes().value(QLatin1StringView("value")).toInt()});
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return ids;
}

TEST_F(BusTest, IntrospectionGivesTheDispatchIds)
{
    const QString path = createObject();
    const QDBusMessage reply = call(path, tlb::kIntrospectableInterface, "Introspect");
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    const QString xml = reply.arguments().value(0).toString();
    const QList<std::pair<QString, int>> expected = {
        {"AddCountLine1", 201},   {"AddCountLine2", 202},   {"AddCountLine3", 203},
        {"AddCountLine4", 204},   {"AddQXCountLine1", 205}, {"AddQXCountLine2", 206},
        {"AddQXCountLine3", 207}, {"AddQXCountLine4", 208},
    };
    EXPECT_EQ(dispIds(xml), expected);
    EXPECT_FALSE(xml.contains(QStringLiteral("\"Connect\"")));
    EXPECT_TRUE(xml.contains(QStringLiteral("<method name=\"Release\"/>")));

    const QString factoryXml =
        call(kFactory, tlb::kIntrospectableInterface, "Introspect").arguments().value(0).toString();
    EXPECT_TRUE(
        factoryXml.contains(QStringLiteral("<node name=\"%1\"/>").arg(path.section(u'/', -1))));
}

QVariantList addCountArguments(uchar line, uchar netNum, const QString& product, double countC,
                               double countD, const QString& changeId)
{
    return {
        QVariant::fromValue(line), QVariant::fromValue(netNum), product, countC, countD, changeId};
}

TEST_F(BusTest, AddCountBooksEachChangeIdOnceAndAcknowledgesARepeat)
{
    const QString path = createObject();
    const QString xml =
        call(path, tlb::kIntrospectableInterface, "Introspect").arguments().value(0).toString();
    EXPECT_TRUE(xml.contains(QStringLiteral("<interface name=\"KarvelC.IDataControlServ2\">")));
    struct Case {
        const char* what;
        QVariantList args;
        bool ok;
        qsizetype linesAfter;
    } cases[] = {
        {"first", addCountArguments(2, 5, "P", 10.5, 0.5, "st:1"), true, 1},
        {"repeat", addCountArguments(2, 5, "P", 10.5, 0.5, "st:1"), true, 1},
        {"next id", addCountArguments(3, 6, "Q", 11, 1, "st:2"), true, 2},
        {"line 0", addCountArguments(0, 6, "Q", 11, 1, "st:3"), false, 2},
        {"line 5", addCountArguments(5, 6, "Q", 11, 1, "st:4"), false, 2},
        {"empty id", addCountArguments(1, 6, "Q", 11, 1, ""), false, 2},
        {"legacy signature", test::countArguments(1, "Q", 1, 1), false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QDBusMessage reply = callAndWait(
            *client,
            methodCall(kName, path, tlb::kDispatch2Interface, tlb::kAddCountMethod, c.args));
        EXPECT_EQ(reply.type() == QDBusMessage::ReplyMessage, c.ok)
            << reply.errorMessage().toStdString();
        if (!c.ok) {
            EXPECT_EQ(reply.errorName(), QLatin1StringView(tlb::kErrorTypeMismatch));
        }
        EXPECT_EQ(lines.size(), c.linesAfter);
    }
    // The memo line is the one the legacy method writes for that line.
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Линия 2; Продукт: P Сетевой номер:5;")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Линия 3; Продукт: Q Сетевой номер:6;")));
}

TEST(BookedIds, AServerStartedAgainRemembersWhatItBooked)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/KarvelC/booked-ids";
    {
        BookedIds ids(file);
        EXPECT_TRUE(ids.add("a:1"));
        EXPECT_TRUE(ids.add("a:2"));
    }
    {
        QFile cut(file); // a crash in the middle of a line
        ASSERT_TRUE(cut.open(QIODevice::Append));
        cut.write("a:3");
    }
    BookedIds again(file);
    EXPECT_TRUE(again.contains("a:1"));
    EXPECT_TRUE(again.contains("a:2"));
    EXPECT_FALSE(again.contains("a:3")) << "never acknowledged";
    EXPECT_EQ(again.size(), 2);
    EXPECT_TRUE(again.add("a:4"));
    EXPECT_TRUE(BookedIds(file).contains("a:4")) << "not glued to the cut line";
}

TEST_F(BusTest, EachMethodWritesOneLineForItsLine)
{
    const QString path = createObject();
    for (const tlb::CountMethod& method : tlb::countMethods()) {
        lines.clear();
        const QDateTime before = QDateTime::currentDateTime();
        QDBusMessage m = QDBusMessage::createMethodCall(
            kName, path, QLatin1StringView(tlb::kDispatchInterface), method.name);
        m.setArguments(countArguments(5, QStringLiteral("Пшеница"), 1234.5, 12.35));
        const QDBusMessage reply = callAndWait(*client, m);
        const QDateTime after = QDateTime::currentDateTime();
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << method.name.toStdString();
        ASSERT_EQ(lines.size(), 1) << method.name.toStdString();

        CountCall expected {method.line, 5, QStringLiteral("Пшеница"), 12345000, 123500};
        const QLocale locale = QLocale::system();
        EXPECT_TRUE(lines.front() == memoLine(expected, before, locale) ||
                    lines.front() == memoLine(expected, after, locale))
            << lines.front().toStdString();
    }
}

TEST_F(BusTest, QXAndPlainMethodsWriteIdenticalLines)
{
    const QString path = createObject();
    const QVariantList args = countArguments(7, QStringLiteral("Рис"), 10.25, 0.5);
    ASSERT_EQ(call(path, tlb::kDispatchInterface, "AddQXCountLine3", args).type(),
              QDBusMessage::ReplyMessage);
    ASSERT_EQ(call(path, tlb::kDispatchInterface, "AddCountLine3", args).type(),
              QDBusMessage::ReplyMessage);
    ASSERT_EQ(lines.size(), 2);
    // The clock may tick between the two calls; everything after the time is the same.
    const auto tail = [](const QString& line) {
        return line.mid(line.indexOf(QStringLiteral("  Линия")));
    };
    EXPECT_EQ(tail(lines[0]), tail(lines[1]));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("  Линия 3; Продукт: Рис Сетевой номер:7;  С:")));
}

TEST_F(BusTest, AnUnknownNameIsRefusedAndWritesNothing)
{
    const QString path = createObject();
    const QDBusMessage connect = call(path, tlb::kDispatchInterface, "Connect",
                                      {QStringLiteral("Provider=X;Data Source=acc")});
    EXPECT_EQ(connect.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(connect.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
    // Also without an interface name, the way a call by name may come.
    const QDBusMessage bare = callAndWait(*client, [&] {
        QDBusMessage m =
            QDBusMessage::createMethodCall(kName, path, QString(), QStringLiteral("Connect"));
        m.setArguments({QStringLiteral("x")});
        return m;
    }());
    EXPECT_EQ(bare.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(BusTest, CallsWithoutAnInterfaceNameFindTheMethod)
{
    const QString path = createObject();
    QDBusMessage m =
        QDBusMessage::createMethodCall(kName, path, QString(), QStringLiteral("AddCountLine1"));
    m.setArguments(countArguments(1, QStringLiteral("Овёс"), 1, 2));
    EXPECT_EQ(callAndWait(*client, m).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(lines.size(), 1);
}

TEST_F(BusTest, ArgumentsThatDoNotConvertAreATypeMismatch)
{
    const QString path = createObject();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QVariantList cases[] = {
        {5, QStringLiteral("Пшеница"), 1234.5, 12.35}, // NetNum as int32
        {QVariant::fromValue(uchar(5)), QStringLiteral("Пшеница"), 1234.5}, // missing Count_D
        {QVariant::fromValue(uchar(5)), QStringLiteral("Пшеница"), 1234.5, 12.35, 1.0},
        {QVariant::fromValue(uchar(5)), 17, 1234.5, 12.35}, // Product as int32
        {QVariant::fromValue(uchar(5)), QStringLiteral("П"), QStringLiteral("1234,5"), 12.35},
        countArguments(5, QStringLiteral("Пшеница"), nan, 12.35),
        countArguments(5, QStringLiteral("Пшеница"), 1234.5,
                       std::numeric_limits<double>::infinity()),
        countArguments(5, QStringLiteral("Пшеница"), 1e15, 12.35), // beyond currency
        countArguments(5, QStringLiteral("Пшеница"), 1234.5, -1e300),
    };
    for (const QVariantList& args : cases) {
        const QDBusMessage reply = call(path, tlb::kDispatchInterface, "AddCountLine2", args);
        EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"))
            << reply.signature().toStdString() << " " << reply.errorMessage().toStdString();
    }
    EXPECT_TRUE(lines.isEmpty()) << lines.join(u'\n').toStdString();
}

TEST_F(BusTest, TheWholeByteRangeOfNetworkNumbersIsWritten)
{
    const QString path = createObject();
    for (uchar netNum : {uchar(0), uchar(127), uchar(128), uchar(255)}) {
        lines.clear();
        ASSERT_EQ(call(path, tlb::kDispatchInterface, "AddCountLine4",
                       countArguments(netNum, QStringLiteral("Ячмень"), 1, 1))
                      .type(),
                  QDBusMessage::ReplyMessage);
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines.front().contains(QStringLiteral(" Сетевой номер:%1;").arg(netNum)))
            << lines.front().toStdString();
    }
}

TEST_F(BusTest, TheConnectionPointTakesOneSink)
{
    const QString path = createObject();
    const QVariantList sink {client->baseService(), QVariant::fromValue(QDBusObjectPath("/sink"))};
    const QDBusMessage first = call(path, tlb::kConnectionPointInterface, "Advise", sink);
    ASSERT_EQ(first.type(), QDBusMessage::ReplyMessage) << first.errorMessage().toStdString();
    const uint cookie = first.arguments().value(0).toUInt();
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(registry->find(path)->sinkChanges(), 1);

    const QDBusMessage second = call(path, tlb::kConnectionPointInterface, "Advise", sink);
    EXPECT_EQ(second.errorName(), QStringLiteral("KarvelC.Error.CannotConnect"));
    EXPECT_EQ(registry->find(path)->sinkChanges(), 1);

    EXPECT_EQ(call(path, tlb::kConnectionPointInterface, "Unadvise", {cookie + 1}).errorName(),
              QStringLiteral("KarvelC.Error.NoConnection"));
    EXPECT_EQ(call(path, tlb::kConnectionPointInterface, "Unadvise", {cookie}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(call(path, tlb::kConnectionPointInterface, "Advise", sink).type(),
              QDBusMessage::ReplyMessage);
}

TEST_F(BusTest, ReleaseRemovesTheObject)
{
    QSignalSpy last(registry.get(), &ObjectRegistry::lastReleased);
    const QString path = createObject();
    ASSERT_EQ(registry->count(), 1);
    EXPECT_EQ(call(path, tlb::kUnknownInterface, "Release").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(registry->count(), 0);
    EXPECT_EQ(last.count(), 1);
    const QDBusMessage after = call(path, tlb::kDispatchInterface, "AddCountLine1",
                                    countArguments(1, QStringLiteral("x"), 1, 1));
    EXPECT_EQ(after.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(BusTest, ObjectsOfAClientThatLeavesAreReleased)
{
    const QString leaverName = QStringLiteral("karvelc-leaver");
    {
        QDBusConnection leaver =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, leaverName);
        for (int i = 0; i < 2; ++i) {
            const QDBusMessage reply = callAndWait(
                leaver, methodCall(kName, kFactory, tlb::kFactoryInterface, "CreateObject"));
            ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);
        }
    }
    const QString kept = createObject();
    ASSERT_EQ(registry->count(), 3);
    QDBusConnection::disconnectFromBus(leaverName);
    EXPECT_TRUE(test::waitUntil([&] { return registry->count() == 1; }));
    EXPECT_NE(registry->find(kept), nullptr);
}

// Another client of the bus may neither use nor release an object it did not create.
TEST_F(BusTest, AnObjectAnswersOnlyItsCreator)
{
    const QString path = createObject();
    const QVariantList sink {client->baseService(), QVariant::fromValue(QDBusObjectPath("/sink"))};
    ASSERT_EQ(call(path, tlb::kConnectionPointInterface, "Advise", sink).type(),
              QDBusMessage::ReplyMessage);
    const QString intruderName = QStringLiteral("karvelc-intruder");
    QDBusConnection intruder =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, intruderName);
    ASSERT_TRUE(intruder.isConnected());

    struct Attempt {
        const char* interface;
        const char* member;
        QVariantList args;
    };
    const Attempt attempts[] = {
        {tlb::kDispatchInterface, "AddCountLine1", countArguments(1, QStringLiteral("x"), 1, 1)},
        {tlb::kDispatchInterface, "AddQXCountLine4", countArguments(1, QStringLiteral("x"), 1, 1)},
        {"", "AddCountLine2", countArguments(1, QStringLiteral("x"), 1, 1)},
        {tlb::kConnectionPointInterface, "Advise", sink},
        {tlb::kConnectionPointInterface, "Unadvise", {1u}},
        {tlb::kUnknownInterface, "Release", {}},
        {tlb::kIntrospectableInterface, "Introspect", {}},
        {tlb::kDispatchInterface, "NoSuchMethod", {}},
    };
    for (const Attempt& a : attempts) {
        const QDBusMessage reply =
            callAndWait(intruder, methodCall(kName, path, a.interface, a.member, a.args));
        EXPECT_EQ(reply.errorName().toStdString(), "org.freedesktop.DBus.Error.AccessDenied")
            << a.member;
    }
    QDBusConnection::disconnectFromBus(intruderName);

    // Nothing changed: the object lives, wrote nothing, keeps its sink, answers its creator.
    ASSERT_NE(registry->find(path), nullptr);
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(registry->find(path)->sinkChanges(), 1);
    EXPECT_EQ(call(path, tlb::kConnectionPointInterface, "Advise", sink).errorName(),
              QStringLiteral("KarvelC.Error.CannotConnect"));
    EXPECT_EQ(call(path, tlb::kDispatchInterface, "AddCountLine1",
                   countArguments(1, QStringLiteral("x"), 1, 1))
                  .type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(lines.size(), 1);
    EXPECT_EQ(call(path, tlb::kUnknownInterface, "Release").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(registry->count(), 0);
}

TEST_F(BusTest, WrongSignatureOfReleaseAndCreateObjectIsATypeMismatch)
{
    const QString path = createObject();
    EXPECT_EQ(call(kFactory, tlb::kFactoryInterface, "CreateObject", {1}).errorName(),
              QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    EXPECT_EQ(call(path, tlb::kUnknownInterface, "Release", {1}).errorName(),
              QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    EXPECT_EQ(registry->count(), 1);
}

TEST_F(BusTest, TheNameHasOneOwner)
{
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                          QStringLiteral("karvelc-second"));
    const auto error = claimBusName(other, kName);
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->isEmpty());
    QDBusConnection::disconnectFromBus(QStringLiteral("karvelc-second"));
}

} // namespace
} // namespace karvel::server
