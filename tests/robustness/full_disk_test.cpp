// A full disk under the program directory, where the work log and the accounting
// journal live: while the accounting server is away, the operator is told that the
// journal did not reach the disk; polling goes on, and once the server is back every
// change kept in memory reaches it.
#include "robust_bookings.h"
#include "robust_fixture.h"

#include "soak_ledger.h"
#include "soak_server.h"

#include <QFile>

#include <sys/mount.h>

#include <cerrno>

namespace karvel::robust {
namespace {

// Fills the program directory's file system. A 64 KiB tmpfs where mounting is allowed;
// otherwise the log and the journal are links to /dev/full, where every write fails
// with "no space left on device".
class TFullDisk {
public:
    explicit TFullDisk(const QString& dir) : dir_(dir)
    {
        mounted_ = ::mount("tmpfs", dir.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") == 0;
        if (mounted_) {
            QFile filler(dir + "/filler");
            if (filler.open(QIODevice::WriteOnly)) {
                const QByteArray block(4096, 'x');
                while (filler.write(block) == block.size() && filler.flush()) { }
            }
            return;
        }
        for (const char* name : {"log.txt", "account.jnl"})
            QFile::link("/dev/full", dir + "/" + name);
    }
    ~TFullDisk()
    {
        if (mounted_)
            ::umount2(dir_.toLocal8Bit().constData(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }

private:
    QString dir_;
    bool mounted_ = false;
};

TEST_F(RobustTest, AFullDiskKeepsTheJournalInMemoryAndSaysSo)
{
    TFullDisk disk(programDir);
    RecordProperty("full_disk", disk.Mounted() ? "tmpfs 64k" : "/dev/full links");
    soak::TServerProcess server(home.path() + "/memo.log", home.path() + "/server-data");
    ASSERT_TRUE(server.Start());
    WriteLines({Line(1, 2)});
    ASSERT_TRUE(StartSim(1, {"--cycle-ms", "2000"}));
    StartProgram();
    ASSERT_TRUE(listener.messages.isEmpty()) << listener.messages.join(" / ").toStdString();
    EXPECT_FALSE(core->LogFlg()) << "a log that cannot be written stays off";
    ASSERT_TRUE(test::WaitUntil(
        [&] { return !soak::ReadMemoLog(home.path() + "/memo.log").empty(); }, 20000));

    server.Kill();
    ASSERT_TRUE(test::WaitUntil([&] { return !listener.trouble.isEmpty(); }, 20000))
        << "the operator is told";
    EXPECT_TRUE(
        listener.trouble.first().contains(QStringLiteral("журнал учета не записан на диск")))
        << listener.trouble.first().toStdString();
    EXPECT_TRUE(Polls(1)) << "polling goes on";

    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(test::WaitUntil(
        [&] { return core->AccountServer()->Waiting() == 0 && !core->AccountServer()->Sending(); },
        30000))
        << "the journal kept in memory drains";
    StopProgram();
    const TBookingSums program = SumsOfStatus(listener.status);
    const TBookingSums received = SumsOfMemo(soak::ReadMemoLog(home.path() + "/memo.log"));
    EXPECT_EQ(received.raw, program.raw) << "every change booked, none twice";
}

} // namespace
} // namespace karvel::robust
