// One terminal's request cycle, decoding, booking, stop detection and link tracking.
#include "answers.h"
#include "d_karvel.h"

#include <gtest/gtest.h>

#include <vector>

namespace karvel {
namespace {

using test::Answer;
using test::CounterAnswer;
using test::MakeAnswer;
using Bytes = std::vector<uint8_t>;

Bytes Request(const TDoz_Karvel& t)
{
    return Bytes(t.OutArray.begin(), t.OutArray.begin() + t.OutCol);
}

struct Booking {
    uint8_t net;
    double d;
    double c;
    std::string dText;
    std::string cText;
};

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        t.FOnConnectTrue = [this](uint8_t net) { connectTrue.push_back(net); };
        t.FOnConnectFalse = [this](uint8_t net) { connectFalse.push_back(net); };
        t.FOnChangeCount = [this](uint8_t net, double d, double c, const std::string& dt,
                                  const std::string& ct) {
            bookings.push_back({net, d, c, dt, ct});
        };
        t.FOnStopWeightSystemEvent = [this](uint8_t e) { stops.push_back(e); };
    }
    void Exec(const Answer& a) { t.Exec(a); }
    // Weight with two decimals, so raw counter values are hundredths.
    void TwoDecimals() { Exec(MakeAnswer(1, 0xC3, {0x00, 0x00, 0x00, 0x02})); }
    void Total(uint64_t raw) { Exec(CounterAnswer(1, 1, raw)); }
    void LastPortion(uint64_t raw) { Exec(CounterAnswer(1, 6, raw)); }
    void State(uint8_t s) { Exec(MakeAnswer(1, 0xBF, {s})); }

    TDoz_Karvel t {1};
    std::vector<int> connectTrue, connectFalse, stops;
    std::vector<Booking> bookings;
};

TEST(Terminal, ANewObjectHoldsTheWeightRequest)
{
    TDoz_Karvel t(5);
    EXPECT_EQ(Request(t), (Bytes {0x05, 0xC3}));
    EXPECT_FALSE(t.Connect);
    EXPECT_TRUE(t.Weight.empty());
    EXPECT_EQ(t.Status, 0);
    EXPECT_TRUE(t.FirstReadFlagC);
}

TEST_F(TerminalTest, WeightAnswerDecodesAndConnects)
{
    Exec(MakeAnswer(1, 0xC3, {0x45, 0x23, 0x01, 0x02}));
    EXPECT_EQ(t.Weight, "123.45");
    EXPECT_EQ(t.Pos, 2);
    EXPECT_EQ(t.DelDecPoint, 100);
    EXPECT_EQ(connectTrue, std::vector<int> {1});
    EXPECT_EQ(Request(t), (Bytes {0x01, 0xC4}));
    Exec(MakeAnswer(1, 0xC3, {0x45, 0x23, 0x01, 0x82}));
    EXPECT_EQ(t.Weight, "-123.45");
    Exec(MakeAnswer(1, 0xC3, {0x00, 0x00, 0x00, 0x82}));
    EXPECT_EQ(t.Weight, "0.00");
    EXPECT_EQ(connectTrue.size(), 1u) << "connected once";
}

TEST_F(TerminalTest, TheCycleWalksAllTenRequestsAndWraps)
{
    const Bytes expected[] = {{1, 0xC4},    {1, 0xC5},    {1, 0xBF},    {1, 0xC8, 1}, {1, 0xC8, 3},
                              {1, 0xC8, 4}, {1, 0xC8, 6}, {1, 0xC8, 8}, {1, 0xC8, 9}, {1, 0xC3}};
    const Answer answers[] = {MakeAnswer(1, 0xC3, {0, 0, 0, 0}),
                              MakeAnswer(1, 0xC4),
                              MakeAnswer(1, 0xC5),
                              MakeAnswer(1, 0xBF),
                              CounterAnswer(1, 1, 0),
                              CounterAnswer(1, 3, 0),
                              CounterAnswer(1, 4, 0),
                              CounterAnswer(1, 6, 0),
                              CounterAnswer(1, 8, 0),
                              CounterAnswer(1, 9, 0)};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 10; ++i) {
            Exec(answers[i]);
            EXPECT_EQ(Request(t), expected[i]) << "after answer " << i;
        }
    }
}

TEST_F(TerminalTest, UnknownCodeRepeatsTheRequestButAppliesACommand)
{
    Exec(MakeAnswer(1, 0xC3, {0, 0, 0, 0}));
    Exec(MakeAnswer(1, 0x42));
    EXPECT_EQ(Request(t), (Bytes {0x01, 0xC4}));
    t.Command_Stop();
    Exec(MakeAnswer(1, 0x42));
    EXPECT_EQ(Request(t), (Bytes {0x01, 0xDF, 0x00}));
}

TEST_F(TerminalTest, ACommandReplacesTheNextRequestAndTheCycleRestarts)
{
    for (uint8_t code : {0xC3, 0xC4, 0xC5, 0xBF})
        Exec(MakeAnswer(1, code, {0, 0, 0, 0}));
    Exec(CounterAnswer(1, 1, 0));
    // Now waiting for a counter answer.
    EXPECT_EQ(Request(t), (Bytes {0x01, 0xC8, 0x03}));
    t.Command_Start();
    Exec(CounterAnswer(1, 3, 42));
    EXPECT_EQ(t.Count.n, 42) << "the answer is decoded as usual";
    EXPECT_EQ(Request(t), (Bytes {0x01, 0xDF, 0x01}));
    Exec(MakeAnswer(1, 0xDF));
    EXPECT_EQ(Request(t), (Bytes {0x01, 0xC3}));
}

TEST_F(TerminalTest, EveryCommandAndOnlyTheLastOfTwo)
{
    const struct {
        void (TDoz_Karvel::*command)();
        Bytes request;
    } cases[] = {
        {&TDoz_Karvel::Command_ReadDoz, {1, 0xB3}},
        {&TDoz_Karvel::Command_Start, {1, 0xDF, 1}},
        {&TDoz_Karvel::Command_Stop, {1, 0xDF, 0}},
        {&TDoz_Karvel::Command_Prohod, {1, 0xDF, 4}},
        {&TDoz_Karvel::Command_Pause, {1, 0xDF, 2}},
        {&TDoz_Karvel::Command_ResPause, {1, 0xDF, 3}},
        {&TDoz_Karvel::Command_ResCicle, {1, 0xDF, 5}},
        {&TDoz_Karvel::Command_ResPopoln, {1, 0xDF, 6}},
        {&TDoz_Karvel::Command_ZerCounters, {1, 0xDF, 7}},
        {&TDoz_Karvel::Command_ResErrors, {1, 0xDF, 9}},
    };
    for (const auto& c : cases) {
        t.Command_Prohod();
        (t.*c.command)(); // the later command wins
        Exec(MakeAnswer(1, 0xC3, {0, 0, 0, 0}));
        EXPECT_EQ(Request(t), c.request);
        Exec(MakeAnswer(1, c.request[1]));
        EXPECT_EQ(Request(t), (Bytes {1, 0xC3})) << "the cycle restarts with the weight";
    }
}

TEST_F(TerminalTest, LinkLossIsReportedOnceAtThe19thFailure)
{
    Exec(MakeAnswer(1, 0xC3, {0x45, 0x23, 0x01, 0x02}));
    for (int i = 0; i < 18; ++i)
        t.BedResponse();
    EXPECT_TRUE(connectFalse.empty());
    Exec(MakeAnswer(1, 0xC4));
    EXPECT_EQ(t.ErrorCount, 0);
    EXPECT_EQ(connectTrue.size(), 1u) << "18 failures are no loss";
    const Bytes pending = Request(t);
    for (int i = 0; i < 25; ++i)
        t.BedResponse();
    EXPECT_EQ(connectFalse, std::vector<int> {1});
    EXPECT_EQ(t.Weight, " ??? ");
    EXPECT_FALSE(t.Connect);
    EXPECT_EQ(t.ErrorCount, 20);
    EXPECT_EQ(Request(t), pending) << "the failed request goes out again";
    Exec(MakeAnswer(1, 0xC5));
    EXPECT_EQ(connectTrue.size(), 2u);
    EXPECT_EQ(t.ErrorCount, 0);
}

TEST_F(TerminalTest, ATerminalThatNeverAnsweredIsStillDeclaredLost)
{
    for (int i = 0; i < 19; ++i)
        t.BedResponse();
    EXPECT_EQ(connectFalse.size(), 1u);
}

TEST_F(TerminalTest, ChangeIsBookedOnceStableAtTheLastPortionReading)
{
    TwoDecimals();
    for (int i = 0; i < 4; ++i)
        Total(10000);
    EXPECT_DOUBLE_EQ(t.c_old, 100.0) << "the first stable total is the baseline";
    LastPortion(500);
    EXPECT_TRUE(bookings.empty());
    for (int i = 0; i < 3; ++i)
        Total(15000);
    EXPECT_FALSE(t.C_is_cheng);
    Total(15000);
    EXPECT_TRUE(t.C_is_cheng);
    LastPortion(5000);
    ASSERT_EQ(bookings.size(), 1u);
    EXPECT_EQ(bookings[0].net, 1);
    EXPECT_DOUBLE_EQ(bookings[0].d, 50.0);
    EXPECT_DOUBLE_EQ(bookings[0].c, 150.0);
    EXPECT_EQ(bookings[0].dText, "50.00");
    EXPECT_EQ(bookings[0].cText, "150.00");
    EXPECT_DOUBLE_EQ(t.c_old, 150.0);
    LastPortion(5000);
    EXPECT_EQ(bookings.size(), 1u) << "booked once";
}

TEST_F(TerminalTest, AClearedTotalBooksTheLastPortionOnceItGrowsAgain)
{
    TwoDecimals();
    for (int i = 0; i < 4; ++i)
        Total(15000);
    for (int i = 0; i < 4; ++i)
        Total(0);
    LastPortion(0);
    EXPECT_TRUE(bookings.empty());
    EXPECT_DOUBLE_EQ(t.c_old, 150.0);
    for (int i = 0; i < 4; ++i)
        Total(2000);
    LastPortion(2000);
    ASSERT_EQ(bookings.size(), 1u);
    EXPECT_DOUBLE_EQ(bookings[0].d, 20.0);
    EXPECT_EQ(bookings[0].dText, "20.00");
    EXPECT_DOUBLE_EQ(t.c_old, 20.0);
}

TEST_F(TerminalTest, AfterALinkLossOnlyWhatWasWeighedSinceIsBooked)
{
    TwoDecimals();
    for (int i = 0; i < 4; ++i)
        Total(50000);
    for (int i = 0; i < 19; ++i)
        t.BedResponse();
    for (int i = 0; i < 4; ++i)
        Total(50000);
    LastPortion(100);
    EXPECT_TRUE(bookings.empty()) << "the total booked before the loss is not booked again";
    for (int i = 0; i < 19; ++i)
        t.BedResponse();
    for (int i = 0; i < 4; ++i)
        Total(55000);
    LastPortion(5000);
    ASSERT_EQ(bookings.size(), 1u);
    EXPECT_DOUBLE_EQ(bookings[0].d, 50.0);
}

TEST_F(TerminalTest, ChangeBeforeAnyWeightIsDividedByOne)
{
    for (int i = 0; i < 4; ++i)
        Total(7);
    EXPECT_DOUBLE_EQ(t.Count.C, 7.0);
    EXPECT_EQ(t.Count.Ct, "7");
}

TEST_F(TerminalTest, StopDetection)
{
    const uint8_t active = 0x04, idle = 0x00;
    const struct {
        std::vector<uint8_t> states;
        size_t stopAfter; // index of the reading that raises the event; 0 = none
    } cases[] = {
        {{active, idle, idle, idle, idle, idle, idle}, 6},
        {{active, idle, idle, active}, 0},
        {{active, idle, idle, idle, idle, idle, active}, 6},
        {{active, idle, idle, idle, idle, idle, idle, idle, idle, idle, idle}, 6},
        {{0x02, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08}, 6}, // unloading, then paused
    };
    for (const auto& c : cases) {
        TDoz_Karvel terminal(1);
        terminal.ExternNum = 3;
        std::vector<size_t> raisedAt;
        size_t index = 0;
        terminal.FOnStopWeightSystemEvent = [&](uint8_t e) {
            EXPECT_EQ(e, 3);
            raisedAt.push_back(index);
        };
        for (; index < c.states.size(); ++index)
            terminal.Exec(MakeAnswer(1, 0xBF, {c.states[index]}));
        if (c.stopAfter == 0)
            EXPECT_TRUE(raisedAt.empty());
        else
            EXPECT_EQ(raisedAt, std::vector<size_t> {c.stopAfter});
    }
}

TEST_F(TerminalTest, StateBits)
{
    State(0x0E);
    EXPECT_TRUE(t.DozSysStatus.UnLoading && t.DozSysStatus.Loading && t.DozSysStatus.StopPause);
    State(0x01);
    EXPECT_TRUE(t.DozSysStatus.UnLoading && t.DozSysStatus.Loading);
    EXPECT_FALSE(t.DozSysStatus.StopPause);
    State(0xF0);
    EXPECT_FALSE(t.DozSysStatus.UnLoading || t.DozSysStatus.Loading || t.DozSysStatus.StopPause);
}

TEST_F(TerminalTest, DosingParametersReadAndWrite)
{
    TwoDecimals();
    t.ExternNum = 4;
    int raised = 0;
    t.FOnReadDozeParam = [&](uint8_t pos, uint8_t num, const TDosageStructure& s) {
        ++raised;
        EXPECT_EQ(pos, 2);
        EXPECT_EQ(num, 4);
        EXPECT_DOUBLE_EQ(s.TankageLadel, 5);
        EXPECT_DOUBLE_EQ(s.TVidergki, 2.5);
        EXPECT_DOUBLE_EQ(s.TDampers, 3);
        EXPECT_DOUBLE_EQ(s.WLadel, 1);
        EXPECT_DOUBLE_EQ(s.Capacity, 50);
        EXPECT_DOUBLE_EQ(s.OSigma, 2);
    };
    Exec(MakeAnswer(1, 0xB3,
                    {0x00, 0x05, 0x00, 0x25, 0x00, 0x30, 0x00, 0x00, 0x01, 0x00, 0x00, 0x50, 0x00,
                     0x00, 0x20, 0x00}));
    EXPECT_EQ(raised, 1);

    t.DosageStructure = {0, 500, 25, 30, 100, 5000, 2000};
    t.Command_WriteDoz();
    Exec(MakeAnswer(1, 0xC3, {0, 0, 0, 2}));
    EXPECT_EQ(Request(t),
              (Bytes {0x01, 0xB4, 0x00, 0x05, 0x00, 0x25, 0x00, 0x30, 0x00, 0x00, 0x01, 0x00, 0x00,
                      0x50, 0x00, 0x00, 0x20, 0x00}));
}

TEST_F(TerminalTest, DosingWriteKeepsRawValuesInsideTheirDigits)
{
    t.DosageStructure = {0, -5, 12345, 2.5, 1e9, 3.5, 0};
    t.Command_WriteDoz();
    Exec(MakeAnswer(1, 0xC3, {0, 0, 0, 0}));
    const Bytes r = Request(t);
    EXPECT_EQ(Bytes(r.begin() + 2, r.begin() + 5), (Bytes {0, 0, 0})) << "negative goes out as 0";
    EXPECT_EQ(Bytes(r.begin() + 5, r.begin() + 7), (Bytes {0x45, 0x23}))
        << "two highest digits dropped";
    EXPECT_EQ(Bytes(r.begin() + 7, r.begin() + 9), (Bytes {0x02, 0x00})) << "2.5 rounds to even";
    EXPECT_EQ(Bytes(r.begin() + 9, r.begin() + 12), (Bytes {0x99, 0x99, 0x99}));
    EXPECT_EQ(Bytes(r.begin() + 12, r.begin() + 15), (Bytes {0x04, 0x00, 0x00}));
}

TEST_F(TerminalTest, CountersAndTheirTexts)
{
    Exec(MakeAnswer(1, 0xC3, {0, 0, 0, 0x01}));
    Exec(CounterAnswer(1, 4, 12345));
    Exec(CounterAnswer(1, 8, 250));
    Exec(CounterAnswer(1, 9, 125));
    Exec(CounterAnswer(1, 3, 9999999999ULL));
    Exec(CounterAnswer(1, 7, 5)); // never requested: ignored
    EXPECT_EQ(t.Count.Et, "1234.5");
    EXPECT_EQ(t.Count.Pt, "25.0");
    EXPECT_DOUBLE_EQ(t.Count.t, 12.5);
    EXPECT_EQ(t.Count.tt, "12.5");
    EXPECT_EQ(t.Count.nt, "9999999999");
    EXPECT_EQ(t.Count.n, 9999999999LL);
}

} // namespace
} // namespace karvel
