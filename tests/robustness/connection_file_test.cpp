// "bdl.txt" in another encoding than the 8-bit code page: start-up goes on, the server
// gets the connection string, the lines are polled.
#include "robust_fixture.h"

#include "recorder_process.h"

#include <QFile>
#include <QUuid>

#include <cstdio>

namespace karvel::robust {
namespace {

TEST_F(RobustTest, AConnectionFileInAnotherEncodingDoesNotStopTheStart)
{
    struct Case {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"UTF-8", QStringLiteral("Строка=1\r\n").toUtf8()},
        {"UTF-16LE with byte-order mark",
         QByteArray("\xFF\xFE", 2) +
             QByteArray(reinterpret_cast<const char*>(QStringLiteral("Строка=1\r\n").utf16()),
                        2 * 10)},
        {"no line end, binary", QByteArray("\x00\x01\x02\xFF\xFE", 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = "KarvelT.Bdl" + QUuid::createUuid().toString(QUuid::Id128).left(8);
        test::TRecorderProcess server(name);
        ASSERT_TRUE(server.Running());
        WriteLines({Line(1, 1)}, name);
        {
            QFile file(ProgramFile("bdl.txt"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.bytes);
        }
        ASSERT_TRUE(StartSim(1));
        listener.messages.clear();
        StartProgram();
        EXPECT_TRUE(listener.messages.isEmpty()) << listener.messages.join(" / ").toStdString();
        // The first call on the object, which is made without waiting.
        EXPECT_TRUE(test::WaitUntil([&] { return !server.MethodCalls().isEmpty(); }, 5000));
        const QStringList calls = server.MethodCalls();
        ASSERT_EQ(calls.size(), 1) << calls.join(" / ").toStdString();
        EXPECT_TRUE(calls[0].startsWith("Connect(s): ")) << calls[0].toStdString();
        std::printf("%s: the server got \"%s\"\n", c.name, qPrintable(calls[0]));
        EXPECT_TRUE(Polls(1));
        StopProgram();
        sims.clear();
    }
}

// A file that says its encoding with a byte-order mark (what an editor writes when the
// file is saved "as Unicode") is read in that encoding, not as Windows-1251.
TEST_F(RobustTest, AConnectionFileWithAByteOrderMarkIsReadInItsEncoding)
{
    const QString text = QStringLiteral("Строка=1");
    struct Case {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"UTF-8 with byte-order mark", QByteArray("\xEF\xBB\xBF") + text.toUtf8() + "\r\n"},
        {"UTF-16LE with byte-order mark",
         QByteArray("\xFF\xFE", 2) +
             QByteArray(reinterpret_cast<const char*>(text.utf16()), 2 * text.size())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = "KarvelT.Bom" + QUuid::createUuid().toString(QUuid::Id128).left(8);
        test::TRecorderProcess server(name);
        WriteLines({Line(1, 1)}, name);
        QFile file(ProgramFile("bdl.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        StartProgram();
        EXPECT_TRUE(test::WaitUntil([&] { return !server.MethodCalls().isEmpty(); }, 5000));
        EXPECT_EQ(server.MethodCalls(), QStringList {"Connect(s): " + text});
        StopProgram();
    }
}

} // namespace
} // namespace karvel::robust
