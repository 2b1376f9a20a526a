// The simulator against the master's own terminal model: what the program books from the
// simulated line must be what really passed.

#include "karvel_main.h"
#include "sim_line.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace karvel::sim;
using namespace karvel::sim::test;

namespace {

constexpr int64_t kExchangeMs = 15; // one request and answer at 19200 baud, roughly

struct Poller {
    TSimLine& line;
    karvel::TMain_Karvel& terminal;
    int64_t now = 0;
    double booked = 0;

    Poller(TSimLine& l, karvel::TMain_Karvel& t) : line(l), terminal(t)
    {
        terminal.FOnChangeCount = [this](uint8_t, double countD, double, const std::string&,
                                         const std::string&) { booked += countD; };
    }
    void Exchanges(int count)
    {
        for (int i = 0; i < count; ++i, now += kExchangeMs) {
            MasterDecoder master;
            const Bytes request(terminal.OutArray.begin(),
                                terminal.OutArray.begin() + terminal.OutCol);
            for (const auto& answer : line.Receive(Frame(request), now))
                master.Feed(answer);
            if (master.packets.size() == 1)
                terminal.Exec(master.packets[0]);
            else
                terminal.BedResponse();
        }
    }
};

TEST(SimMaster, BookedChangesAddUpToWhatPassed)
{
    TLineSetup setup;
    setup.terminals = {{5, Model::KR200, "Пшеница", 2, 5000}};
    setup.cycleMs = 600;
    TSimLine line(setup, 0);
    karvel::TMain_Karvel terminal(5, "Пшеница", true);
    Poller poll(line, terminal);

    poll.Exchanges(60); // the first stable total is the baseline
    const double baseline = terminal.c_old;
    poll.Exchanges(400); // six seconds of weighing
    terminal.Command_Stop();
    poll.Exchanges(100); // stopped: the total stands still and is booked
    const TSimTerminal& sim = *line.Find(5);
    EXPECT_FALSE(sim.Cycle().Running());
    EXPECT_GT(sim.Cycle().Counters().n, 8u);
    const double total = static_cast<double>(sim.Cycle().Counters().C) / 100.0;
    EXPECT_DOUBLE_EQ(terminal.Count.C, total);
    EXPECT_GT(poll.booked, 0.0);
    EXPECT_NEAR(baseline + poll.booked, total, 1e-6);
    EXPECT_EQ(terminal.Pos, 2);
    EXPECT_TRUE(terminal.Connect);
}

TEST(SimMaster, TabSignalsReachTheMastersEdgeEvents)
{
    TLineSetup setup;
    setup.terminals = {{5, Model::KR200, "a", 2, 5000}, {6, Model::KR100, "b", 2, 5000}};
    TSimLine line(setup, 0);
    karvel::TMain_Karvel kr200(5, "a", true), kr100(6, "b", false);
    std::vector<int> acts200, acts100;
    kr200.FOnEventPStop = [&](uint16_t, uint8_t act) { acts200.push_back(act); };
    kr100.FOnEventPStop = [&](uint16_t, uint8_t act) { acts100.push_back(act); };
    Poller p200(line, kr200), p100(line, kr100);
    p200.Exchanges(10);
    p100.Exchanges(10);
    EXPECT_TRUE(acts200.empty());
    EXPECT_EQ(acts100, std::vector<int> {0}) << "input 6 is high while the outlet is free";

    line.Control("outlet all on", p200.now);
    line.Control("error 5", p200.now);
    p200.Exchanges(10);
    p100.Exchanges(10);
    EXPECT_EQ(acts200, (std::vector<int> {1, 2})) << "input 15 yellow, output 0 red";
    EXPECT_EQ(acts100, (std::vector<int> {0, 1})) << "input 6 falls: yellow";
    EXPECT_TRUE(kr100.Input[6] == false);

    kr200.Command_Pause(); // block the loading cycle: output 3
    p200.Exchanges(12);
    EXPECT_EQ(acts200, (std::vector<int> {1, 2, 1}));
    EXPECT_TRUE(kr200.Output[3]);
}

} // namespace
