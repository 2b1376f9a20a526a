// A store file with garbage or a value of the wrong type: the operator is told, the file
// is left as it was, and every line that could be read is polled.
#include "robust_fixture.h"

#include "config_keys.h"
#include "config_store.h"
#include "soak_server.h"

#include <QFile>

namespace karvel::robust {
namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

TEST_F(RobustTest, ABrokenStoreIsReportedLeftAloneAndTheReadableLinesArePolled)
{
    struct Case {
        const char* name;
        std::function<void(const QString& path)> spoil;
        const char* messagePart; // what the message box must name
        bool line1Polled;
    } cases[] = {
        {"garbage",
         [](const QString& path) {
             WriteAll(path, QByteArray("\x01\xFFgarbage\x00[[[\n\"=\n", 17));
         },
         "Karvel_net.reg", false},
        {"binary noise after a good header",
         [](const QString& path) { WriteAll(path, ReadAll(path) + QByteArray(64, '\xA5')); },
         "Karvel_net.reg", false},
        {"a network number stored as a string",
         [](const QString& path) {
             TConfigStore store(path);
             store.WriteString(LineKey(2), QStringLiteral("NetNum1"), QStringLiteral("21"));
             store.Flush();
         },
         "NetNum1", true},
        {"a missing terminal type",
         [](const QString& path) {
             QByteArray text = ReadAll(path);
             const qsizetype at =
                 text.indexOf("[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\Line2]");
             ASSERT_GE(at, 0);
             const qsizetype value = text.indexOf("\"TerminalType\"", at);
             text.remove(value, text.indexOf('\n', value) - value + 1);
             WriteAll(path, text);
         },
         "TerminalType", true},
    };
    soak::TServerProcess server(home.path() + "/memo.log", home.path() + "/server-data");
    ASSERT_TRUE(server.Start());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(storePath);
        // Every key present: a start that can read the file has nothing to add to it.
        WriteLines({Line(1, 1), Line(2, 1), Line(3, 0), Line(4, 0)});
        c.spoil(storePath);
        const QByteArray spoiled = ReadAll(storePath);
        ASSERT_TRUE(StartSim(1));
        listener.messages.clear();
        StartProgram();
        ASSERT_FALSE(listener.messages.isEmpty()) << "the operator is told";
        EXPECT_TRUE(listener.messages.join(" / ").contains(QString::fromLatin1(c.messagePart)))
            << listener.messages.join(" / ").toStdString();
        EXPECT_EQ(ReadAll(storePath), spoiled)
            << "the store is never rewritten over what it could not read";
        if (c.line1Polled)
            EXPECT_TRUE(Polls(1)) << "the line read before the bad value is polled";
        else
            EXPECT_TRUE(core->LineList1().empty());
        StopProgram();
        sims.clear();
    }
}

} // namespace
} // namespace karvel::robust
