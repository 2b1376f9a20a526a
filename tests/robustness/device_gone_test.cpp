// A serial device that disappears while it is polled (a USB adapter pulled: the far end
// of the pty closes and its link goes): the link loss is reported, the line does not spin,
// and the other lines are polled on.
#include "robust_fixture.h"

#include "soak_server.h"

#include <QFile>
#include <QFileInfo>

namespace karvel::robust {
namespace {

TEST_F(RobustTest, ALineWhoseDeviceIsPulledReportsItsTerminalsLostAndTheOthersGoOn)
{
    soak::TServerProcess server(home.path() + "/memo.log", home.path() + "/server-data");
    ASSERT_TRUE(server.Start());
    WriteLines({Line(1, 2), Line(2, 1)});
    ASSERT_TRUE(StartSim(1));
    ASSERT_TRUE(StartSim(2));
    StartProgram();
    ASSERT_TRUE(listener.messages.isEmpty()) << listener.messages.join(" / ").toStdString();
    ASSERT_TRUE(
        test::WaitUntil([&] { return Terminal(1, 0).Connect && Terminal(1, 1).Connect; }, 5000));

    sims.at(1)->Stop(); // the pty's far end closes and the dosdevices link is removed
    EXPECT_FALSE(QFileInfo::exists(configDir + "/Vistam/dosdevices/com1"));

    ASSERT_TRUE(
        test::WaitUntil([&] { return !Terminal(1, 0).Connect && !Terminal(1, 1).Connect; }, 20000))
        << "nineteen silent exchanges each";
    ASSERT_FALSE(listener.states.isEmpty()) << "the state window is shown";
    const QString shown = listener.states.last().join(u'\n');
    EXPECT_TRUE(shown.contains("11") && shown.contains("12")) << shown.toStdString();
    QFile log(ProgramFile("log.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_GE(log.readAll().count("\r\n"), 3) << "start line and one link-loss line per terminal";

    // A hung-up line reads as silence, one wait slice per exchange: it must not spin.
    const int before = Steps(1);
    test::RunFor(2000);
    EXPECT_LE(Steps(1) - before, 200) << "silence is reported per wait slice, not in a loop";
    EXPECT_TRUE(Polls(2)) << "the other line goes on";
    EXPECT_TRUE(Terminal(2, 0).Connect);
}

} // namespace
} // namespace karvel::robust
