// The example accounting server in Python (docs/examples), started by the bus and called
// the way the main program calls its accounting server: create the object by name,
// Connect with the connection string, the count calls, Release.

#include "bus_call.h"
#include "private_bus.h"
#include "registration.h"
#include "type_library.h"

#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <limits>

namespace karvel::server {
namespace {

using test::callAndWait;
using test::countArguments;
using test::methodCall;

const QString kName = QStringLiteral("ExampleAccounting.DataControlServ");
const QString kFactory = QStringLiteral("/ExampleAccounting/DataControlServ");

QString execWord(const QString& word)
{
    QString quoted = quoteExecWord(word);
    return quoted.replace(u'\\', QStringLiteral("\\\\"));
}

class ExampleServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus = std::make_unique<test::PrivateBus>();
        ASSERT_TRUE(bus->isRunning());
        journal = bus->home() + QStringLiteral("/journal.txt");
        // Installed the way a production server would be: an activation file of its own.
        ASSERT_TRUE(QDir().mkpath(bus->serviceDir()));
        QFile service(bus->serviceDir() + u'/' + kName + QStringLiteral(".service"));
        ASSERT_TRUE(service.open(QIODevice::WriteOnly));
        service.write(
            QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 %3 --name %1 --journal %4\n")
                .arg(kName, execWord(QStringLiteral(KARVEL_PYTHON)),
                     execWord(QStringLiteral(KARVEL_EXAMPLE_SERVER)), execWord(journal))
                .toUtf8());
        service.close();
        client = bus->connect(QStringLiteral("main-program"));
    }

    QDBusMessage call(const QString& path, const char* interface, const char* member,
                      const QVariantList& args = {})
    {
        return callAndWait(client, methodCall(kName, path, interface, member, args));
    }

    QStringList journalLines() const
    {
        QFile file(journal);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    std::unique_ptr<test::PrivateBus> bus;
    QDBusConnection client {QString()};
    QString journal;
};

TEST_F(ExampleServerTest, ServesTheMainProgramsCalls)
{
    const QDBusMessage created = call(kFactory, tlb::kFactoryInterface, "CreateObject");
    ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << created.errorMessage().toStdString();
    const QString path = created.arguments().value(0).value<QDBusObjectPath>().path();
    EXPECT_TRUE(path.startsWith(kFactory + u'/'));

    EXPECT_EQ(call(path, tlb::kDispatchInterface, "Connect", {QStringLiteral("DSN=Весы")}).type(),
              QDBusMessage::ReplyMessage);
    const QStringList methods = {"AddCountLine1", "AddCountLine2", "AddCountLine3", "AddCountLine4",
                                 "AddQXCountLine1"};
    for (const QString& method : methods) {
        const QDBusMessage reply =
            call(path, tlb::kDispatchInterface, method.toLatin1().constData(),
                 countArguments(5, QStringLiteral("Пшеница"), 1234.5, 12.35));
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }
    EXPECT_EQ(journalLines(),
              (QStringList {"Connect\tDSN=Весы", "AddCountLine1\t5\tПшеница\t12345000\t123500",
                            "AddCountLine2\t5\tПшеница\t12345000\t123500",
                            "AddCountLine3\t5\tПшеница\t12345000\t123500",
                            "AddCountLine4\t5\tПшеница\t12345000\t123500",
                            "AddQXCountLine1\t5\tПшеница\t12345000\t123500"}));

    EXPECT_EQ(call(path, tlb::kUnknownInterface, "Release").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(call(path, tlb::kDispatchInterface, "AddCountLine1",
                   countArguments(1, QStringLiteral("x"), 1, 1))
                  .type(),
              QDBusMessage::ErrorMessage);
}

TEST_F(ExampleServerTest, AnswersWithTheInterfacesErrors)
{
    const QString path = call(kFactory, tlb::kFactoryInterface, "CreateObject")
                             .arguments()
                             .value(0)
                             .value<QDBusObjectPath>()
                             .path();
    ASSERT_FALSE(path.isEmpty());
    const std::pair<const char*, QVariantList> mismatches[] = {
        {"AddCountLine2", {5, QStringLiteral("Пшеница"), 1234.5, 12.35}},
        {"AddCountLine2",
         countArguments(5, QStringLiteral("Пшеница"), std::numeric_limits<double>::quiet_NaN(), 1)},
        {"AddCountLine2", countArguments(5, QStringLiteral("Пшеница"), 1, 1e300)},
    };
    for (const auto& [member, args] : mismatches) {
        EXPECT_EQ(call(path, tlb::kDispatchInterface, member, args).errorName(),
                  QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    }
    EXPECT_EQ(call(path, tlb::kDispatchInterface, "Disconnect").errorName(),
              QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
    EXPECT_TRUE(journalLines().isEmpty());
}

TEST_F(ExampleServerTest, AnnouncesTheDispatchIds)
{
    const QString path = call(kFactory, tlb::kFactoryInterface, "CreateObject")
                             .arguments()
                             .value(0)
                             .value<QDBusObjectPath>()
                             .path();
    const QString xml =
        call(path, tlb::kIntrospectableInterface, "Introspect").arguments().value(0).toString();
    QXmlStreamReader reader(xml);
    QString method;
    QMap<QString, int> ids;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1StringView("method"))
            method = reader.attributes().value(QLatin1StringView("name")).toString();
        if (reader.name() == QLatin1StringView("annotation"))
            ids[method] = reader.attributes().value(QLatin1StringView("value")).toInt();
    }
    for (const tlb::CountMethod& m : tlb::countMethods())
        EXPECT_EQ(ids.value(m.name), m.dispId) << m.name.toStdString();
}

} // namespace
} // namespace karvel::server
