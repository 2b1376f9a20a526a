// The weighing cycle and the commands that act on it.

#include "sim_cycle.h"
#include "sim_signals.h"
#include "sim_terminal.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace karvel::sim;

namespace {

constexpr int64_t kCycle = 1000;
constexpr uint8_t kLoading = 0x04, kUnloading = 0x02, kStopPause = 0x08;

// Runs the cycle in 10 ms steps and notes which state bytes it showed.
std::set<uint8_t> RunFor(TWeighingCycle& cycle, int64_t& now, int64_t ms)
{
    std::set<uint8_t> seen;
    for (const int64_t end = now + ms; now < end;) {
        now += 10;
        cycle.Advance(now);
        seen.insert(cycle.StateBits());
    }
    return seen;
}

TEST(SimCycle, LoadsWeighsAndUnloadsAndCountsEachPortion)
{
    TWeighingCycle cycle(kCycle, 5000, 11, 0);
    int64_t now = 0;
    int64_t lastWeight = -1;
    bool rose = false;
    for (; now < 5 * kCycle; now += 10) {
        cycle.Advance(now);
        rose = rose ||
            (cycle.CurrentPhase() == Phase::Loading && cycle.WeightRaw() > lastWeight &&
             lastWeight >= 0);
        lastWeight = cycle.WeightRaw();
        ASSERT_LE(cycle.WeightRaw(), 5020);
        ASSERT_GE(cycle.WeightRaw(), 0);
    }
    EXPECT_TRUE(rose);
    const TCycleCounters& c = cycle.Counters();
    EXPECT_GE(c.n, 4u);
    EXPECT_LE(c.n, 5u);
    EXPECT_GE(c.d, 4980u);
    EXPECT_LE(c.d, 5020u);
    EXPECT_EQ(c.C, c.E);
    EXPECT_EQ(c.C, cycle.PassedRaw());
    EXPECT_EQ(c.t, 10u) << "one second per cycle";
    EXPECT_NEAR(static_cast<double>(c.P), 5000.0 * 3.6, 80.0) << "50 kg a second is 180 t/h";
}

TEST(SimCycle, StopMakesTheTerminalIdleAndTheTotalStandStill)
{
    TWeighingCycle cycle(kCycle, 5000, 5, 0);
    int64_t now = 0;
    EXPECT_EQ(RunFor(cycle, now, 2 * kCycle), (std::set<uint8_t> {kLoading, kUnloading}));
    cycle.Stop();
    const uint64_t total = cycle.Counters().C;
    const int64_t weight = cycle.WeightRaw();
    EXPECT_EQ(RunFor(cycle, now, 5 * kCycle), std::set<uint8_t> {kStopPause});
    EXPECT_EQ(cycle.Counters().C, total);
    EXPECT_EQ(cycle.WeightRaw(), weight) << "the hopper stays as it was";
    EXPECT_EQ(OutputsOf(Model::KR200, cycle) & 0x0700, 0) << "feed and discharge gates closed";

    cycle.Start();
    RunFor(cycle, now, 2 * kCycle + 10);
    EXPECT_GT(cycle.Counters().C, total);
}

TEST(SimCycle, BlockHoldsTheNextLoadingUntilRelease)
{
    TWeighingCycle cycle(kCycle, 5000, 5, 0);
    int64_t now = 0;
    cycle.Block();
    RunFor(cycle, now, 2 * kCycle); // the cycle under way finishes, then it waits
    const uint64_t portions = cycle.Counters().n;
    EXPECT_EQ(RunFor(cycle, now, 3 * kCycle), std::set<uint8_t> {kStopPause});
    EXPECT_EQ(cycle.Counters().n, portions);
    EXPECT_TRUE(OutputsOf(Model::KR200, cycle) & (1u << 3)) << "output 3 shows the block";
    cycle.Release();
    RunFor(cycle, now, 2 * kCycle);
    EXPECT_GT(cycle.Counters().n, portions);
}

TEST(SimCycle, ProductPassOpensBothGatesAndCountsNothing)
{
    TWeighingCycle cycle(kCycle, 5000, 5, 0);
    int64_t now = 0;
    RunFor(cycle, now, kCycle);
    const uint64_t total = cycle.Counters().C;
    cycle.ProductPass();
    EXPECT_EQ(RunFor(cycle, now, 2 * kCycle), std::set<uint8_t> {0x07});
    EXPECT_EQ(cycle.Counters().C, total);
    EXPECT_GE(cycle.UnweighedRaw(), 2 * 5000u) << "two cycles' worth went through unweighed";
    EXPECT_EQ(OutputsOf(Model::KR200, cycle), (1u << 8) | (1u << 10));
    EXPECT_EQ(OutputsOf(Model::KR100, cycle), (1u << 4) | (1u << 5));
    cycle.Stop();
    EXPECT_EQ(cycle.StateBits(), kStopPause);
}

TEST(SimCycle, ErrorHaltsUntilErrorReset)
{
    TWeighingCycle cycle(kCycle, 5000, 5, 0);
    int64_t now = 0;
    cycle.RaiseError();
    EXPECT_EQ(RunFor(cycle, now, 2 * kCycle), std::set<uint8_t> {kStopPause});
    EXPECT_EQ(cycle.Counters().n, 0u);
    EXPECT_EQ(OutputsOf(Model::KR200, cycle) & 1u, 1u);
    EXPECT_EQ(OutputsOf(Model::KR100, cycle) & (1u << 7), 1u << 7);
    cycle.ResetError();
    RunFor(cycle, now, 2 * kCycle);
    EXPECT_GT(cycle.Counters().n, 0u);
}

TEST(SimCycle, ZeroShiftCountersClearsCnAndEButNotWhatPassed)
{
    TWeighingCycle cycle(kCycle, 5000, 5, 0);
    int64_t now = 0;
    RunFor(cycle, now, 3 * kCycle);
    const uint64_t passed = cycle.PassedRaw();
    ASSERT_GT(passed, 0u);
    cycle.ZeroShiftCounters();
    EXPECT_EQ(cycle.Counters().C, 0u);
    EXPECT_EQ(cycle.Counters().n, 0u);
    EXPECT_EQ(cycle.Counters().E, 0u);
    EXPECT_GT(cycle.Counters().d, 0u);
    EXPECT_EQ(cycle.PassedRaw(), passed);
}

TEST(SimCycle, ReplenishmentOffMakesPortionsShortUntilStart)
{
    TWeighingCycle cycle(kCycle, 10000, 5, 0);
    int64_t now = 0;
    cycle.ReplenishmentOff();
    RunFor(cycle, now, 3 * kCycle); // the portion under way was already drawn
    EXPECT_LT(cycle.Counters().d, 9850u);
    EXPECT_EQ(OutputsOf(Model::KR200, cycle) & (1u << 9), 0u) << "no fine feed";
    cycle.Start();
    RunFor(cycle, now, 3 * kCycle);
    EXPECT_GE(cycle.Counters().d, 9950u);
}

TEST(SimCycle, LimitedDoseStopsTheWeigherOnceReached)
{
    TWeighingCycle cycle(kCycle, 5000, 5, 0);
    cycle.SetDoseLimit(12000); // a little over two portions
    int64_t now = 0;
    RunFor(cycle, now, 6 * kCycle);
    EXPECT_FALSE(cycle.Running());
    EXPECT_EQ(cycle.Counters().n, 3u);
    cycle.Start();
    EXPECT_EQ(cycle.Counters().E, 0u) << "a new dose begins";
    RunFor(cycle, now, kCycle);
    EXPECT_TRUE(cycle.Running());
}

TEST(SimCycle, ResetCycleKeepsTheProductInTheHopper)
{
    TWeighingCycle cycle(kCycle, 5000, 5, 0);
    int64_t now = 0;
    while (cycle.CurrentPhase() != Phase::Loading || cycle.WeightRaw() < 1000)
        cycle.Advance(now += 10);
    const int64_t weight = cycle.WeightRaw();
    const uint64_t portions = cycle.Counters().n;
    cycle.ResetCycle();
    EXPECT_EQ(cycle.WeightRaw(), weight);
    EXPECT_EQ(cycle.Counters().n, portions);
    // The whole loading time again before the portion is weighed.
    cycle.Advance(now + kCycle / 2 - 20);
    EXPECT_EQ(cycle.CurrentPhase(), Phase::Loading);
}

TEST(SimCycle, DfCommandsReachTheCycleByModel)
{
    // Command 2 blocks the loading cycle on a KR-200 and resets the current cycle on a KR-100.
    TSimTerminal kr200({5, Model::KR200, "a", 2, 5000}, kCycle, 1, 0);
    TSimTerminal kr100({6, Model::KR100, "b", 2, 5000}, kCycle, 1, 0);
    const std::vector<uint8_t> block200 {5, 0xDF, 2}, block100 {6, 0xDF, 2};
    kr200.Respond(block200, 0);
    kr100.Respond(block100, 0);
    EXPECT_TRUE(kr200.Cycle().Blocked());
    EXPECT_FALSE(kr100.Cycle().Blocked());
    EXPECT_EQ(kr100.Cycle().CurrentPhase(), Phase::Loading);

    const struct {
        uint8_t command;
        bool running, passing, blocked, error;
    } steps[] = {
        {0, false, false, true, false}, {1, true, false, true, false},
        {3, true, false, false, false}, {4, true, true, false, false},
        {1, true, false, false, false}, {9, true, false, false, false},
    };
    for (const auto& s : steps) {
        const std::vector<uint8_t> request {5, 0xDF, s.command};
        EXPECT_EQ(kr200.Respond(request, 0).packet, (std::vector<uint8_t> {5, 0xDF}));
        EXPECT_EQ(kr200.Cycle().Running(), s.running) << int(s.command);
        EXPECT_EQ(kr200.Cycle().Passing(), s.passing) << int(s.command);
        EXPECT_EQ(kr200.Cycle().Blocked(), s.blocked) << int(s.command);
        EXPECT_EQ(kr200.Cycle().Error(), s.error) << int(s.command);
    }
}

} // namespace
