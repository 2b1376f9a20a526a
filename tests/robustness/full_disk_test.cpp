// A full disk under the program directory, where the work log and the ledger live: a
// booked change the ledger cannot take is kept in memory, in order, and the operator is
// told; polling goes on; once the disk has room again every change kept in memory is
// written and reaches the server, none twice.
#include "robust_bookings.h"
#include "robust_fixture.h"

#include "soak_ledger.h"
#include "soak_server.h"

#include <QFile>

#include <sys/mount.h>

#include <cerrno>

namespace karvel::robust {
namespace {

// The program directory on a small tmpfs of its own, filled up on request.
class TSmallDisk {
public:
    explicit TSmallDisk(const QString& dir) : dir_(dir)
    {
        mounted_ = ::mount("tmpfs", dir.toLocal8Bit().constData(), "tmpfs", 0, "size=512k") == 0;
    }
    ~TSmallDisk()
    {
        if (mounted_)
            ::umount2(dir_.toLocal8Bit().constData(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    void Fill()
    {
        QFile filler(dir_ + "/filler");
        if (filler.open(QIODevice::WriteOnly)) {
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size() && filler.flush()) { }
        }
    }
    void Free() { QFile::remove(dir_ + "/filler"); }

private:
    QString dir_;
    bool mounted_ = false;
};

TEST_F(RobustTest, AFullDiskKeepsTheChangesInMemoryAndSaysSo)
{
    TSmallDisk disk(programDir);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    soak::TServerProcess server(home.path() + "/memo.log", home.path() + "/server-data");
    ASSERT_TRUE(server.Start());
    WriteLines({Line(1, 2)});
    ASSERT_TRUE(StartSim(1, {"--cycle-ms", "2000"}));
    StartProgram();
    ASSERT_TRUE(listener.messages.isEmpty()) << listener.messages.join(" / ").toStdString();
    ASSERT_TRUE(test::WaitUntil(
        [&] { return !soak::ReadMemoLog(home.path() + "/memo.log").empty(); }, 20000));

    disk.Fill();
    const qsizetype bookedBefore = listener.status.size();
    ASSERT_TRUE(test::WaitUntil([&] { return core->Book()->InMemory() > 0; }, 20000))
        << "a change booked on the full disk is kept in memory";
    EXPECT_FALSE(
        listener.trouble.filter(QStringLiteral("Журнал учета не записан на диск")).isEmpty())
        << "the operator is told: " << listener.trouble.join(" / ").toStdString();
    EXPECT_TRUE(Polls(1)) << "polling goes on";
    EXPECT_TRUE(test::WaitUntil([&] { return listener.status.size() >= bookedBefore + 3; }, 20000))
        << "changes are still booked (into memory)";

    disk.Free();
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            return core->Book()->InMemory() == 0 && core->AccountServer()->Waiting() == 0 &&
                !core->AccountServer()->Sending();
        },
        30000))
        << "the changes kept in memory are written and delivered";
    StopProgram();
    const TBookingSums program = SumsOfStatus(listener.status);
    const TBookingSums received = SumsOfMemo(soak::ReadMemoLog(home.path() + "/memo.log"));
    EXPECT_EQ(received.raw, program.raw) << "every change booked, none twice";
}

} // namespace
} // namespace karvel::robust
