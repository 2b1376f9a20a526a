// One line polled for real: the serial port on a pseudo-terminal, the simulator behind it.
#include "line_fixture.h"
#include "sim_process.h"
#include "wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace karvel {
namespace {

using test::FixedSettings;
using test::RecordingView;
using test::SimProcess;
using test::WaitUntil;

// Keeps every total the terminal object was given.
class TotalWatcher : public TMain_Karvel {
public:
    using TMain_Karvel::TMain_Karvel;
    void Reading_Count(Packet packet) override
    {
        TMain_Karvel::Reading_Count(packet);
        if (packet[2] == 1)
            totals.push_back(Count.C);
    }
    std::vector<double> totals;
};

class LineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QDir().mkpath(home.path() + "/Vistam/dosdevices");
    }
    // portionKg: each terminal's portion set-point (0: the simulator's default).
    void StartLine(std::initializer_list<int> nets, const QStringList& simOptions,
                   bool kr200 = true, std::vector<int> portionKg = {})
    {
        QStringList options = simOptions;
        portionKg.resize(nets.size());
        for (int net : nets) {
            QString terminal = QString("%1:%2:Продукт %1").arg(net).arg(kr200 ? "KR200" : "KR100");
            if (const int kg = portionKg[list.size()]; kg > 0)
                terminal += QString(":%1").arg(kg);
            options << "--terminal" << terminal;
            list.push_back(std::make_unique<TotalWatcher>(static_cast<uint8_t>(net),
                                                          "Продукт " + std::to_string(net), kr200));
            list.back()->ExternNum = static_cast<uint16_t>(list.size() - 1);
        }
        ASSERT_TRUE(sim.Start(home.path() + "/Vistam/dosdevices/com1", home.path(), options));
        settings.port = {true, 0, 1, {}}; // COM1, 19200 bit/s
        poller.Init();
        ASSERT_TRUE(poller.Port().Connected());
        ASSERT_TRUE(view.messages.empty());
    }
    TMain_Karvel& Terminal(size_t i) { return *list[i]; }

    QTemporaryDir home;
    SimProcess sim;
    TLineList list;
    FixedSettings settings;
    RecordingView view;
    TLinePoller poller {LineTraits(1), list, settings, view};
};

bool AllTenAnswered(const TMain_Karvel& t)
{
    const TCounters& c = t.Count;
    return t.Connect && !t.Weight.empty() && !c.Ct.empty() && !c.nt.empty() && !c.Et.empty() &&
        !c.dt.empty() && !c.Pt.empty() && !c.tt.empty();
}

TEST_F(LineEndToEnd, EveryTerminalWalksAllTenRequests)
{
    StartLine({5, 6, 7}, {"--cycle-ms", "400", "--verbose"});
    EXPECT_TRUE(WaitUntil(
        [&] {
            return AllTenAnswered(Terminal(0)) && AllTenAnswered(Terminal(1)) &&
                AllTenAnswered(Terminal(2));
        },
        10000));
    view.selected = 2;
    EXPECT_TRUE(WaitUntil([&] { return view.groupCaption == "Продукт 7"; }, 3000));
    EXPECT_FALSE(view.display.caption.empty());
    const QString trace = sim.Trace();
    for (const char* request :
         {"rx 06 C3", "rx 06 C4", "rx 06 C5", "rx 06 BF", "rx 06 C8 01", "rx 06 C8 03",
          "rx 06 C8 04", "rx 06 C8 06", "rx 06 C8 08", "rx 06 C8 09"})
        EXPECT_TRUE(trace.contains(request)) << request;
}

TEST_F(LineEndToEnd, ASilentTerminalIsLostOnceAndFoundAgain)
{
    StartLine({5, 6, 7}, {"--cycle-ms", "2000"});
    std::vector<int> lost, found;
    Terminal(1).FOnConnectFalse = [&](uint8_t net) { lost.push_back(net); };
    Terminal(1).FOnConnectTrue = [&](uint8_t net) { found.push_back(net); };
    ASSERT_TRUE(WaitUntil([&] { return Terminal(1).Connect; }, 5000));
    found.clear();
    sim.Control("silence 6");
    ASSERT_TRUE(WaitUntil([&] { return !lost.empty(); }, 15000));
    EXPECT_EQ(Terminal(1).Weight, " ??? ");
    EXPECT_TRUE(Terminal(0).Connect && Terminal(2).Connect) << "the others go on";
    test::RunFor(1000);
    EXPECT_EQ(lost, std::vector<int> {6}) << "reported once";
    sim.Control("unsilence 6");
    ASSERT_TRUE(WaitUntil([&] { return !found.empty(); }, 5000));
    EXPECT_EQ(found, std::vector<int> {6});
    EXPECT_EQ(Terminal(1).ErrorCount, 0);
}

TEST_F(LineEndToEnd, ACommandReachesItsTerminalAndAStopArmsTheAlarm)
{
    StartLine({5, 6}, {"--cycle-ms", "300", "--verbose"});
    int alarms = 0;
    poller.OnAlarm = [&] { ++alarms; };
    ASSERT_TRUE(WaitUntil([&] { return poller.TabState(1) == TabActive; }, 5000))
        << "a working weigher turns green";
    view.selected = 1;
    ASSERT_TRUE(poller.Command(TLineCommand::Stop));
    ASSERT_TRUE(WaitUntil([&] { return sim.Trace().contains("rx 06 DF 00"); }, 3000));
    EXPECT_FALSE(sim.Trace().contains("rx 05 DF 00")) << "only the selected terminal";
    EXPECT_TRUE(WaitUntil([&] { return alarms == 1; }, 10000))
        << "the stopped weigher raises the alarm";
    EXPECT_EQ(poller.TabState(1), TabNormal);
    const auto record = sim.Record();
    ASSERT_TRUE(record.count(6));
    EXPECT_FALSE(record.at(6).value("running").toBool());
}

TEST_F(LineEndToEnd, SignalsColourTheTabs)
{
    StartLine({5, 6}, {"--cycle-ms", "2000"});
    ASSERT_TRUE(WaitUntil([&] { return Terminal(0).Connect && Terminal(1).Connect; }, 5000));
    sim.Control("outlet 5 on");
    EXPECT_TRUE(WaitUntil([&] { return poller.TabState(0) == TabSignal; }, 5000));
    sim.Control("error 6");
    EXPECT_TRUE(WaitUntil([&] { return poller.TabState(1) == TabAlert; }, 5000));
    sim.Control("outlet 5 off");
    EXPECT_TRUE(WaitUntil([&] { return poller.TabState(0) != TabSignal; }, 5000));
}

TEST_F(LineEndToEnd, FaultsNeverPutAWrongValueIntoATerminal)
{
    // Very different portions: a total of one terminal given to another shows as a jump.
    StartLine({5, 6, 7},
              {"--cycle-ms", "300", "--seed", "4", "--noise", "0.2", "--corrupt", "0.2",
               "--wrong-net", "0.2", "--drop", "0.1", "--late", "0.2"},
              true, {500, 5, 50});
    std::vector<std::string> wrong;
    for (size_t i = 0; i < 3; ++i) {
        TMain_Karvel& t = Terminal(i);
        t.FOnEventChangeCount = [&wrong, &t](const std::string& product, uint8_t net, double,
                                             double, const std::string&, const std::string&) {
            if (product != t.Product || net != t.NetNum)
                wrong.push_back(product);
        };
    }
    test::RunFor(4000);
    sim.Control("stop all");
    // Once the totals stand still, every terminal must hold exactly its own total.
    auto matches = [&] {
        const auto record = sim.Record();
        for (size_t i = 0; i < 3; ++i) {
            const TMain_Karvel& t = Terminal(i);
            if (!record.count(t.NetNum))
                return false;
            const double total = record.at(t.NetNum).value("C_raw").toDouble() / 100.0;
            if (std::abs(t.Count.C - total) > 1e-9)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(WaitUntil(matches, 15000));
    EXPECT_TRUE(wrong.empty());
    for (size_t i = 0; i < 3; ++i) {
        const auto& totals = static_cast<TotalWatcher&>(Terminal(i)).totals;
        ASSERT_FALSE(totals.empty());
        EXPECT_GT(totals.back(), 0.0);
        EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()))
            << "terminal " << i << " saw a foreign total";
    }
}

} // namespace
} // namespace karvel
