// Karvel_Net --export-csv FROM TO FILE: whole local days, standard output, exit codes.
// Runs with TZ=Europe/Berlin, the zone of the known ledger.
#include "known_ledger.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace karvel::report::testing;

namespace {

struct TRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class ExportCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(WriteKnownLedger(dir_.filePath(QStringLiteral("ledger.db")).toStdString()));
    }

    TRun Run(const QStringList& exportArguments, const QString& programDir = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir_.path());
        process.start(QStringLiteral(KARVEL_NET_PATH),
                      QStringList {QStringLiteral("--program-dir"),
                                   programDir.isEmpty() ? dir_.path() : programDir,
                                   QStringLiteral("--export-csv")} +
                          exportArguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QTemporaryDir dir_;
};

TEST_F(ExportCli, ADateCoversItsWholeLocalDay)
{
    // 2026-03-29 has 23 hours in Berlin; its seven changes and no other.
    const TRun run = Run(
        {QStringLiteral("2026-03-29"), QStringLiteral("2026-03-29"), QStringLiteral("day.csv")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.isEmpty());
    QFile file(dir_.filePath(QStringLiteral("day.csv")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray csv = file.readAll();
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBFseq;"));
    // Seven rows and the header; one product holds a line break inside its quotes.
    EXPECT_EQ(csv.count("\r\n"), 9);
    EXPECT_TRUE(csv.contains(";2026-03-29 00:00:00;"));
    EXPECT_FALSE(csv.contains(";2026-03-28 23:59:59;"));
}

TEST_F(ExportCli, TwoDaysAndStandardOutput)
{
    const TRun run =
        Run({QStringLiteral("2026-10-24"), QStringLiteral("2026-10-25"), QStringLiteral("-")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count("\r\n"), 6); // header and five changes
    EXPECT_EQ(run.out.count(";2026-10-25 02:30:00;"), 2);
}

TEST_F(ExportCli, DateTimesAreMoments)
{
    const TRun run = Run({QStringLiteral("2026-03-28T20:00"), QStringLiteral("2026-03-29T08:00"),
                          QStringLiteral("-")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count("\r\n"), 7); // the six changes of the 11-hour night
}

struct TBadCase {
    const char* name;
    QStringList arguments;
    bool otherDir;
    int exitCode;
    const char* says;
};

TEST_F(ExportCli, BadInputIsRefusedWithAReason)
{
    const std::vector<TBadCase> cases = {
        {"missing values", {QStringLiteral("2026-03-29")}, false, 2, "needs FROM TO FILE"},
        {"not ISO",
         {QStringLiteral("29.03.2026"), QStringLiteral("2026-03-29"), "-"},
         false,
         2,
         "29.03.2026"},
        {"backwards",
         {QStringLiteral("2026-03-29T10:00"), QStringLiteral("2026-03-29T09:00"), "-"},
         false,
         2,
         "is not after"},
        {"no ledger",
         {QStringLiteral("2026-03-29"), QStringLiteral("2026-03-29"), "-"},
         true,
         1,
         "no ledger"},
        {"unwritable",
         {QStringLiteral("2026-03-29"), QStringLiteral("2026-03-29"),
          QStringLiteral("no/such/dir/x.csv")},
         false,
         1,
         "no/such/dir/x.csv"},
    };
    QTemporaryDir empty;
    for (const TBadCase& c : cases) {
        const TRun run = Run(c.arguments, c.otherDir ? empty.path() : QString());
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_TRUE(run.err.contains(c.says)) << c.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << c.name;
    }
}

} // namespace
