// Line faults: reproducible for a seed, and each one doing what it says on the wire.

#include "sim_line.h"
#include "sim_test_util.h"

#include <gtest/gtest.h>

using namespace karvel::sim;
using namespace karvel::sim::test;

namespace {

TLineSetup LineOf(const TFaultRates& rates, uint64_t seed)
{
    TLineSetup setup;
    setup.terminals = {{5, Model::KR200, "a", 2, 5000}, {6, Model::KR100, "b", 1, 500}};
    setup.cycleMs = 300;
    setup.seed = seed;
    setup.faults = rates;
    return setup;
}

// The wire bytes a line sends for a fixed round of requests.
Bytes Session(const TFaultRates& rates, uint64_t seed)
{
    TSimLine line(LineOf(rates, seed), 0);
    Bytes wire;
    const Bytes requests[] = {{5, 0xC3}, {6, 0xC4}, {5, 0xC8, 1},
                              {6, 0xBF}, {5, 0xC5}, {6, 0xC8, 6}};
    for (int round = 0; round < 40; ++round) {
        for (const Bytes& r : requests) {
            for (const auto& answer : line.Receive(Frame(r), round * 37))
                wire.insert(wire.end(), answer.begin(), answer.end());
        }
    }
    return wire;
}

TEST(SimFaults, SameSeedSameBytesOtherSeedOtherBytes)
{
    const TFaultRates rates {0.1, 0.1, 0.1, 0.1};
    const Bytes first = Session(rates, 42);
    EXPECT_EQ(first, Session(rates, 42));
    EXPECT_NE(first, Session(rates, 43));
    EXPECT_NE(first, Session(TFaultRates {}, 42));
}

struct FaultCase {
    const char* what;
    TFaultRates rates;
    size_t packets; // delivered to the master out of one answer
    size_t errors; // framing errors the master sees
    bool ownNet; // the delivered packet carries the asked network number
};

TEST(SimFaults, EachFaultShowsOnTheWire)
{
    const FaultCase cases[] = {
        {"no fault", {}, 1, 0, true},
        {"dropped", {1, 0, 0, 0}, 0, 0, true},
        {"checksum spoiled", {0, 1, 0, 0}, 0, 1, true},
        {"noise before the frame", {0, 0, 1, 0}, 1, 0, true},
        {"another network number", {0, 0, 0, 1}, 1, 0, false},
    };
    for (const auto& c : cases) {
        for (uint64_t seed = 1; seed <= 20; ++seed) {
            TSimLine line(LineOf(c.rates, seed), 0);
            MasterDecoder master;
            for (const auto& answer : line.Receive(Frame({5, 0xC8, 1}), 0)) {
                if (c.rates.noise > 0) {
                    ASSERT_NE(answer.front(), 0xFF) << c.what;
                    ASSERT_LE(answer.size() - Frame({5, 0xC8, 1, 0, 0, 0, 0, 0}).size(), 8u);
                }
                master.Feed(answer);
            }
            ASSERT_EQ(master.packets.size(), c.packets) << c.what << " seed " << seed;
            ASSERT_EQ(master.errors.size(), c.errors) << c.what << " seed " << seed;
            if (c.packets == 1) {
                EXPECT_EQ(master.packets[0][0] == 5, c.ownNet) << c.what;
                EXPECT_EQ(master.packets[0][1], 0xC8);
                EXPECT_NE(master.packets[0][0], 0xFF);
            }
        }
    }
}

TEST(SimFaults, RatesAreKeptRoughly)
{
    TSimLine line(LineOf({0.25, 0, 0, 0}, 9), 0);
    int answered = 0;
    for (int i = 0; i < 2000; ++i)
        answered += static_cast<int>(line.Receive(Frame({5, 0xC3}), i).size());
    EXPECT_NEAR(answered, 1500, 90);
}

TEST(SimFaults, SilentTerminalNeitherAnswersNorActs)
{
    TSimLine line(LineOf({}, 1), 0);
    line.SetSilent(6, true);
    EXPECT_TRUE(line.Receive(Frame({6, 0xC3}), 0).empty());
    EXPECT_TRUE(line.Receive(Frame({6, 0xDF, 0}), 0).empty());
    EXPECT_TRUE(line.Find(6)->Cycle().Running()) << "a silent terminal heard nothing";
    EXPECT_EQ(line.Receive(Frame({5, 0xC3}), 0).size(), 1u);

    EXPECT_EQ(line.Control("unsilence 6", 0), "control: unsilence 6");
    EXPECT_EQ(line.Receive(Frame({6, 0xC3}), 0).size(), 1u);
    line.Control("silence all", 0);
    EXPECT_TRUE(line.Receive(Frame({5, 0xC3}), 0).empty());
    EXPECT_TRUE(line.IsSilent(6));
    EXPECT_NE(line.Control("silence 9", 0).find("no terminal"), std::string::npos);
    EXPECT_NE(line.Control("explode 5", 0).find("unknown command"), std::string::npos);
    line.Control("outlet 5 on", 0);
    EXPECT_TRUE(line.Find(5)->Cycle().OutletFull());
}

} // namespace
