// The program killed (SIGKILL) at the two moments that matter for accounting: after a
// change is in the ledger but before its call went out, and after the call went out but
// before its answer came. A program started again on the same folder delivers every
// change: nothing lost; a server without change identities gets the one change under
// way at most once more, one with AddCount never books it twice.
#include "config_keys.h"
#include "config_store.h"
#include "crypt_psw.h"
#include "main_core.h"
#include "recorder_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "qstring_print.h"

#include <gtest/gtest.h>

namespace karvel {
namespace {

using test::TRecorderProcess;
using test::UniqueName;

bool Wait(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

class CrashTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config_.isValid() && programDir_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        addCount_ = GetParam();
        server_ = std::make_unique<TRecorderProcess>(
            UniqueName("KarvelT.Crash"), addCount_ ? QStringList {"--addcount"} : QStringList {});
        TConfigStore store(TConfigStore::DefaultPath());
        store.WriteString(kControlKey, "Name", server_->Name());
        store.WriteString(kControlKey, "Password", CryptPsw("x"));
        for (int line = 1; line <= kLines; ++line) {
            store.WriteBool(LineKey(line), "TerminalType", false);
            for (int slot = 1; slot <= kSlots; ++slot) {
                store.WriteInteger(LineKey(line), QStringLiteral("NetNum%1").arg(slot), 0);
                store.WriteString(LineKey(line), QStringLiteral("NameP%1").arg(slot), "P");
            }
        }
        store.Flush();
    }

    // The booker, killed: by itself after the ledger write, or by the test once the
    // server has received all `count` calls.
    void RunAndKill(int count, bool dieAfterWrite)
    {
        QProcess booker;
        QStringList args {"--program-dir", programDir_.path(), "--count", QString::number(count)};
        if (dieAfterWrite)
            args << "--die-after-write";
        booker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        booker.start(QStringLiteral(KARVEL_BOOKER_PATH), args);
        ASSERT_TRUE(booker.waitForStarted());
        if (!dieAfterWrite) {
            ASSERT_TRUE(Wait([&] { return server_->MethodCalls().size() >= count; }))
                << server_->MethodCalls().join(" / ").toStdString();
            booker.kill();
        }
        ASSERT_TRUE(booker.waitForFinished(10000));
        EXPECT_EQ(booker.exitStatus(), QProcess::CrashExit);
    }

    // The program started again on the same folder and store.
    void RunAgainUntilDelivered()
    {
        TCoreOptions options;
        options.programDir = programDir_.path();
        options.freeTerminalsWait = std::chrono::milliseconds(0);
        options.callTimeoutMs = 2000;
        options.retryPeriodMs = 50;
        TMainCore core(options);
        ASSERT_EQ(core.FormCreate(), QStringList());
        ASSERT_TRUE(Wait([&] {
            return core.AccountServer()->Waiting() == 0 && !core.AccountServer()->Sending();
        }));
        EXPECT_TRUE(core.SetAsideList().empty());
    }

    // What the server booked, by Count_C.
    std::map<double, int> Booked() const
    {
        std::map<double, int> booked;
        for (const QString& call : server_->MethodCalls()) {
            const QStringList fields = call.section(QStringLiteral(": "), 1).split(u'|');
            booked[fields.value(addCount_ ? 3 : 2).toDouble()] += 1;
        }
        return booked;
    }

    QTemporaryDir config_;
    QTemporaryDir programDir_;
    bool addCount_ = false;
    std::unique_ptr<TRecorderProcess> server_;
};

TEST_P(CrashTest, KilledAfterTheLedgerWriteBeforeTheCall)
{
    RunAndKill(3, true);
    EXPECT_TRUE(server_->MethodCalls().isEmpty()) << "no call went out";
    RunAgainUntilDelivered();
    EXPECT_EQ(Booked(), (std::map<double, int> {{101, 1}, {102, 1}, {103, 1}}))
        << server_->MethodCalls().join(" / ").toStdString();
}

TEST_P(CrashTest, KilledBetweenTheCallAndItsAnswer)
{
    server_->SetCountDelay(60000); // the answers never come while the booker lives
    const int count = addCount_ ? 3 : 1; // legacy calls go one at a time
    RunAndKill(count, false);
    server_->SetCountDelay(0);
    RunAgainUntilDelivered();
    std::map<double, int> expected;
    for (int i = 1; i <= count; ++i)
        expected[100 + i] = addCount_ ? 1 : 2; // the legacy repeat: once more, no more
    EXPECT_EQ(Booked(), expected) << server_->MethodCalls().join(" / ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Interfaces, CrashTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "AddCount" : "Legacy"; });

} // namespace
} // namespace karvel
