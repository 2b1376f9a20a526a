// The terminals' answers, byte for byte on the wire.

#include "sim_line.h"
#include "sim_terminal.h"
#include "sim_test_util.h"

#include "bcd.h"

#include <gtest/gtest.h>

using namespace karvel::sim;
using namespace karvel::sim::test;

namespace {

TTerminalConfig Config(uint8_t net, Model model, int decimals = 2, uint32_t portion = 5000)
{
    return {net, model, "Пшеница", decimals, portion};
}

Bytes Wire(const TAnswer& a)
{
    return a.packet.empty() ? Bytes {} : Frame(a.packet);
}

struct FrameCase {
    const char* what;
    Bytes packet;
    Bytes wire;
};

TEST(SimAnswers, PacketsAreFramedByteForByte)
{
    const FrameCase cases[] = {
        {"weight 123.45",
         TSimTerminal::WeightPacket(1, 12345, 2),
         {0xFF, 0x01, 0xC3, 0x45, 0x23, 0x01, 0x02, 0x00, 0xFF, 0xFF}},
        {"negative weight sets bit 7 of the format byte",
         TSimTerminal::WeightPacket(5, -25, 2),
         {0xFF, 0x05, 0xC3, 0x25, 0x00, 0x00, 0x82, 0x3E, 0xFF, 0xFF}},
        {"counter C, ten digits least significant first",
         TSimTerminal::CounterPacket(5, 1, 1234567890),
         {0xFF, 0x05, 0xC8, 0x01, 0x90, 0x78, 0x56, 0x34, 0x12, 0xFD, 0xFF, 0xFF}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Frame(c.packet), c.wire) << c.what;
}

TEST(SimAnswers, WeightAnswerCarriesTheHopperWeightAndDecimals)
{
    TSimTerminal t(Config(5, Model::KR200, 3), 1000, 7, 0);
    const TAnswer a = t.Respond(Bytes {5, 0xC3}, 100);
    ASSERT_EQ(a.packet.size(), 6u);
    EXPECT_EQ(a.packet[0], 5);
    EXPECT_EQ(a.packet[1], 0xC3);
    EXPECT_EQ(karvel::BCD3B(a.packet, 2), t.Cycle().WeightRaw());
    EXPECT_EQ(a.packet[5], 0x03); // three decimals, positive
}

TEST(SimAnswers, StoppedTerminalsShowTheirSignals)
{
    // A stopped terminal has both gates closed; faults, blocks and a full outlet show.
    TSimTerminal kr200(Config(5, Model::KR200), 1000, 1, 0);
    TSimTerminal kr100(Config(6, Model::KR100), 1000, 1, 0);
    EXPECT_EQ(Wire(kr200.Respond(Bytes {5, 0xDF, 0}, 0)),
              (Bytes {0xFF, 0x05, 0xDF, 0x5E, 0xFF, 0xFF}));
    EXPECT_EQ(Wire(kr100.Respond(Bytes {6, 0xDF, 0}, 0)).size(), 6u);
    kr200.Cycle().RaiseError();
    kr200.Respond(Bytes {5, 0xDF, 2}, 0); // block the loading cycle
    kr200.Cycle().SetOutletFull(true);
    kr100.Cycle().RaiseError();

    EXPECT_EQ(Wire(kr200.Respond(Bytes {5, 0xBF}, 10)),
              (Bytes {0xFF, 0x05, 0xBF, 0x08, 0xDE, 0xFF, 0xFF}));
    // KR-200: output 0 (fault) and 3 (blocked), sixteen outputs not inverted.
    EXPECT_EQ(Wire(kr200.Respond(Bytes {5, 0xC5}, 10)),
              (Bytes {0xFF, 0x05, 0xC5, 0x09, 0x00, 0x62, 0xFF, 0xFF}));
    // KR-200: inputs 0 and 1 (gates closed) and 15 (outlet full).
    EXPECT_EQ(Wire(kr200.Respond(Bytes {5, 0xC4}, 10)),
              (Bytes {0xFF, 0x05, 0xC4, 0x03, 0x80, 0x72, 0xFF, 0xFF}));
    // KR-100: only output 7 (fault) active, sent inverted in one byte.
    EXPECT_EQ(Wire(kr100.Respond(Bytes {6, 0xC5}, 10)),
              (Bytes {0xFF, 0x06, 0xC5, 0x7F, 0x94, 0xFF, 0xFF}));
    // KR-100: input 6 is high while the outlet is not full, low when it is.
    EXPECT_EQ(Wire(kr100.Respond(Bytes {6, 0xC4}, 10)),
              (Bytes {0xFF, 0x06, 0xC4, 0x43, 0x00, 0x08, 0xFF, 0xFF}));
    kr100.Cycle().SetOutletFull(true);
    EXPECT_EQ(Wire(kr100.Respond(Bytes {6, 0xC4}, 10)),
              (Bytes {0xFF, 0x06, 0xC4, 0x03, 0x00, 0xC8, 0xFF, 0xFF}));
}

TEST(SimAnswers, CountersAreTheCyclesCountersInTenBcdDigits)
{
    TSimTerminal t(Config(5, Model::KR200), 100, 3, 0);
    t.Cycle().Advance(1050); // about ten portions
    const TCycleCounters& c = t.Cycle().Counters();
    ASSERT_GT(c.n, 5u);
    const struct {
        uint8_t number;
        uint64_t value;
    } expected[] = {{1, c.C}, {3, c.n}, {4, c.E}, {6, c.d}, {8, c.P},
                    {9, c.t}, {0, 0},   {2, 0},   {5, 0},   {7, 0}};
    for (const auto& e : expected) {
        const TAnswer a = t.Respond(Bytes {5, 0xC8, e.number}, 1050);
        EXPECT_EQ(a.packet, TSimTerminal::CounterPacket(5, e.number, e.value)) << int(e.number);
        EXPECT_EQ(karvel::BCD5B(a.packet, 3), static_cast<int64_t>(e.value)) << int(e.number);
    }
    EXPECT_TRUE(t.Respond(Bytes {5, 0xC8, 10}, 1050).packet.empty()) << "no counter above 9";
    EXPECT_EQ(c.C, t.Cycle().PassedRaw());
    EXPECT_EQ(c.t, 1u) << "a 100 ms cycle reads 0.1 s";
}

TEST(SimAnswers, OnlyWellFormedRequestsAreAnswered)
{
    TSimTerminal t(Config(5, Model::KR200), 1000, 1, 0);
    const Bytes unanswered[] = {
        {5}, // no code
        {5, 0x42}, // unknown code
        {5, 0xC3, 0x00}, // weight request with a stray byte (e.g. an echoed answer)
        {5, 0xC8}, // counter without its number
        {5, 0xDF}, // command without its number (an echoed acknowledgement)
        {5, 0xB4}, // write without the parameters (an echoed acknowledgement)
        {5, 0xB4, 0x00, 0x05, 0x00, 0x25, 0x00, 0x30, 0x00, 0x00, 0x01, 0x00, 0x00, 0x50, 0x00,
         0x00, 0x20, 0x0A},
    };
    for (const Bytes& request : unanswered)
        EXPECT_TRUE(t.Respond(request, 0).packet.empty())
            << karvel::sim::test::Bytes(request).size();
    EXPECT_EQ(t.Dosing().portion, 5000u) << "a refused write changes nothing";
}

TEST(SimAnswers, DosingParametersReadBackAsWritten)
{
    TSimTerminal t(Config(5, Model::KR200), 1000, 1, 0);
    const Bytes data = {0x00, 0x05, 0x00, 0x25, 0x00, 0x30, 0x00, 0x00,
                        0x01, 0x00, 0x00, 0x50, 0x00, 0x00, 0x20, 0x00};
    Bytes write = {5, 0xB4};
    write.insert(write.end(), data.begin(), data.end());
    EXPECT_EQ(Wire(t.Respond(write, 0)), (Bytes {0xFF, 0x05, 0xB4, 0x8F, 0xFF, 0xFF}));

    const TAnswer read = t.Respond(Bytes {5, 0xB3}, 0);
    Bytes expected = {5, 0xB3};
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(read.packet, expected);
    EXPECT_EQ(t.Dosing().portion, 500u);
    EXPECT_EQ(t.Dosing().holdTime, 25u);
    EXPECT_EQ(t.Dosing().gateTime, 30u);
    EXPECT_EQ(t.Dosing().emptyWeight, 100u);
    EXPECT_EQ(t.Dosing().capacity, 5000u);
    EXPECT_EQ(t.Dosing().limitedDose, 2000u);
    EXPECT_EQ(t.Cycle().Portion(), 500u) << "the written set-point drives the next portions";
}

TEST(SimAnswers, TerminalsAnswerOnlyTheirOwnNetworkNumber)
{
    TLineSetup setup;
    setup.terminals = {Config(5, Model::KR200), Config(6, Model::KR100)};
    TSimLine line(setup, 0);
    EXPECT_TRUE(line.Receive(Frame({7, 0xC3}), 0).empty());
    const auto answers = line.Receive(Frame({6, 0xC3}), 0);
    ASSERT_EQ(answers.size(), 1u);
    MasterDecoder master;
    master.Feed(answers[0]);
    ASSERT_EQ(master.packets.size(), 1u);
    EXPECT_EQ(master.packets[0][0], 6);
    EXPECT_EQ(master.packets[0][1], 0xC3);
    // Two requests in one read, the second behind a frame with a bad checksum.
    Bytes bytes = Frame({5, 0xBF});
    Bytes spoiled = Frame({5, 0xC4});
    spoiled[3] ^= 0x01;
    bytes.insert(bytes.end(), spoiled.begin(), spoiled.end());
    const Bytes third = Frame({6, 0xC8, 1});
    bytes.insert(bytes.end(), third.begin(), third.end());
    const auto two = line.Receive(bytes, 0);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0][2], 0xBF);
    EXPECT_EQ(two[1][2], 0xC8);
}

} // namespace
