// The work log file and the accounting journal on real files.
#include "account_journal.h"
#include "core_options.h"
#include "cp1251.h"
#include "program_dir.h"
#include "work_log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "qstring_print.h"

#include <gtest/gtest.h>

namespace karvel {
namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(WorkLog, CreatesAppendsAndWritesEachLineAtOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    {
        TWorkLog log;
        ASSERT_TRUE(log.Open(path));
        ASSERT_TRUE(log.WriteLine(QStringLiteral("Старт")));
        // Nothing is held back in a buffer: the line is in the file before the log closes.
        EXPECT_EQ(ReadAll(path), QByteArray("\xD1\xF2\xE0\xF0\xF2\r\n"));
    }
    TWorkLog again;
    ASSERT_TRUE(again.Open(path));
    ASSERT_TRUE(again.WriteLine(QStringLiteral("Стоп")));
    again.Close();
    EXPECT_EQ(ReadAll(path), QByteArray("\xD1\xF2\xE0\xF0\xF2\r\n\xD1\xF2\xEE\xEF\r\n"));
    EXPECT_FALSE(again.WriteLine(QStringLiteral("closed")));
}

TEST(WorkLog, AFileThatCannotBeOpenedLeavesTheLogClosed)
{
    QTemporaryDir dir;
    TWorkLog log;
    EXPECT_FALSE(log.Open(dir.filePath("missing/dir/log.txt")));
    EXPECT_FALSE(log.IsOpen());
}

TEST(ProgramDir, OptionOverridesTheExecutablesDirectory)
{
    EXPECT_EQ(ProgramDir({"prog", "--program-dir", "/tmp/x"}), QStringLiteral("/tmp/x"));
    EXPECT_EQ(ProgramDir({"prog", "--program-dir=/tmp/y"}), QStringLiteral("/tmp/y"));
    EXPECT_EQ(ProgramDir({"prog"}),
              QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).absolutePath());
}

TEST(CoreOptions, TimeOutsAndDirectoryFromTheCommandLine)
{
    const TCoreOptions given = CoreOptionsFromArguments(
        {"prog", "--account-timeout", "500", "--account-retry", "2000", "--program-dir", "/tmp/z"});
    EXPECT_EQ(given.callTimeoutMs, 500);
    EXPECT_EQ(given.retryPeriodMs, 2000);
    EXPECT_EQ(given.programDir, QStringLiteral("/tmp/z"));
    const TCoreOptions plain = CoreOptionsFromArguments({"prog", "--account-timeout", "nonsense"});
    EXPECT_EQ(plain.callTimeoutMs, 3000);
    EXPECT_EQ(plain.retryPeriodMs, 5000);
}

TBookedChange Change(int line, uint8_t net, QString product, double c, double d)
{
    return TBookedChange {line, net, std::move(product), c, d};
}

void ExpectSame(const TBookedChange& a, const TBookedChange& b)
{
    EXPECT_EQ(a.line, b.line);
    EXPECT_EQ(a.netNum, b.netNum);
    EXPECT_EQ(a.product, b.product);
    EXPECT_EQ(a.countC, b.countC); // every bit kept
    EXPECT_EQ(a.countD, b.countD);
}

TEST(AccountJournal, SurvivesARestartInOrder)
{
    QTemporaryDir dir;
    const TBookedChange changes[] = {
        Change(2, 12, QStringLiteral("Пшеница"), 1234.5, 10.25),
        Change(4, 255, QStringLiteral("tab\there\\ new\nline"), 0.1 + 0.2, -1e-300),
        Change(1, 1, QString(), 1e15 / 3, 0),
    };
    {
        TAccountJournal journal(dir.path());
        for (const auto& c : changes)
            ASSERT_TRUE(journal.Append(c));
    }
    TAccountJournal reread(dir.path());
    ASSERT_EQ(reread.Size(), 3u);
    ExpectSame(reread.Front(), changes[0]);
    ASSERT_TRUE(reread.PopFront());
    TAccountJournal third(dir.path());
    ASSERT_EQ(third.Size(), 2u);
    ExpectSame(third.Front(), changes[1]);
    ASSERT_TRUE(third.PopFront());
    ExpectSame(third.Front(), changes[2]);
    ASSERT_TRUE(third.PopFront());
    EXPECT_TRUE(third.Empty());
    EXPECT_FALSE(QFile::exists(dir.filePath(TAccountJournal::kFileName)));
    EXPECT_FALSE(QFile::exists(dir.filePath(TAccountJournal::kDoneFileName)));
    // Numbering goes on after a complete send.
    ASSERT_TRUE(third.Append(changes[0]));
    EXPECT_EQ(TAccountJournal(dir.path()).Size(), 1u);
}

TEST(AccountJournal, ALineCutShortByACrashIsDropped)
{
    QTemporaryDir dir;
    {
        TAccountJournal journal(dir.path());
        ASSERT_TRUE(journal.Append(Change(1, 5, "A", 1, 2)));
        ASSERT_TRUE(journal.Append(Change(1, 6, "B", 3, 4)));
    }
    const QString path = dir.filePath(TAccountJournal::kFileName);
    QByteArray text = ReadAll(path);
    text.chop(3); // the second entry lost its end
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    TAccountJournal journal(dir.path());
    ASSERT_EQ(journal.Size(), 1u);
    ASSERT_TRUE(journal.Append(Change(3, 7, "C", 5, 6)));
    TAccountJournal reread(dir.path());
    ASSERT_EQ(reread.Size(), 2u);
    EXPECT_EQ(reread.Front().netNum, 5);
}

} // namespace
} // namespace karvel
