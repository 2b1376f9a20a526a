// The slot object: product forwarding, outputs and signal edges by model, the display.
#include "answers.h"
#include "karvel_main.h"
#include "recording_display.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

namespace karvel {
namespace {

using test::MakeAnswer;

using RecordingDisplay = test::TRecordingDisplay;

using Edges = std::vector<std::pair<int, int>>;

struct SlotFixture {
    explicit SlotFixture(bool kr200) : slot(7, "Пшеница", kr200)
    {
        slot.ExternNum = 2;
        slot.FOnEventPStop = [this](uint16_t e, uint8_t act) { edges.emplace_back(e, act); };
        slot.Display = &display;
    }
    void Inputs(uint8_t low, uint8_t high) { slot.Exec(MakeAnswer(7, 0xC4, {low, high})); }
    void Outputs(uint8_t low, uint8_t high) { slot.Exec(MakeAnswer(7, 0xC5, {low, high})); }
    void State(uint8_t s) { slot.Exec(MakeAnswer(7, 0xBF, {s})); }

    TMain_Karvel slot;
    RecordingDisplay display;
    Edges edges;
};

TEST(Slot, CreationHoldsProductModelAndTheWeightRequest)
{
    TMain_Karvel slot(7, "Пшеница", true);
    EXPECT_EQ(slot.Product, "Пшеница");
    EXPECT_TRUE(slot.TypeWMeh);
    EXPECT_EQ(slot.OutArray[0], 7);
    EXPECT_EQ(slot.OutArray[1], 0xC3);
    EXPECT_EQ(slot.OutCol, 2);
    EXPECT_FALSE(slot.tmpB || slot.tmpB1 || slot.tmpB2);
}

TEST(Slot, CounterChangeCarriesTheProduct)
{
    TMain_Karvel slot(7, "Пшеница", false);
    std::vector<std::string> seen;
    slot.FOnEventChangeCount = [&](const std::string& product, uint8_t net, double d, double c,
                                   const std::string& dt, const std::string& ct) {
        seen.push_back(product + "|" + std::to_string(net) + "|" + dt + "|" + ct);
        EXPECT_DOUBLE_EQ(d, 5);
        EXPECT_DOUBLE_EQ(c, 15);
    };
    auto total = [&](uint8_t raw) { slot.Exec(MakeAnswer(7, 0xC8, {1, raw})); };
    for (int i = 0; i < 4; ++i)
        total(0x10);
    for (int i = 0; i < 4; ++i)
        total(0x15);
    slot.Exec(MakeAnswer(7, 0xC8, {6, 0x05}));
    EXPECT_EQ(seen, std::vector<std::string> {"Пшеница|7|5|15"});

    slot.FOnEventChangeCount = nullptr; // unbound: nothing raised, bookkeeping unchanged
    for (int i = 0; i < 4; ++i)
        total(0x20);
    slot.Exec(MakeAnswer(7, 0xC8, {6, 0x05}));
    EXPECT_DOUBLE_EQ(slot.c_old, 20);
}

TEST(Slot, OutputsByModel)
{
    SlotFixture kr100(false), kr200(true);
    kr100.Outputs(0xFE, 0xFF);
    EXPECT_TRUE(kr100.slot.Output[0]);
    for (int i = 1; i < 16; ++i)
        EXPECT_FALSE(kr100.slot.Output[static_cast<size_t>(i)]) << i;
    kr200.Outputs(0xFE, 0x81);
    EXPECT_FALSE(kr200.slot.Output[0]);
    for (int i = 1; i < 8; ++i)
        EXPECT_TRUE(kr200.slot.Output[static_cast<size_t>(i)]) << i;
    EXPECT_TRUE(kr200.slot.Output[8]);
    EXPECT_FALSE(kr200.slot.Output[9]);
    EXPECT_TRUE(kr200.slot.Output[15]);
}

TEST(Slot, Kr200Edges)
{
    SlotFixture f(true);
    f.Inputs(0x00, 0x80); // input 15 rises at the first reading
    EXPECT_EQ(f.edges, (Edges {{2, 1}}));
    f.Inputs(0x00, 0x80);
    EXPECT_EQ(f.edges.size(), 1u) << "unchanged raises nothing";
    f.Inputs(0x00, 0x00);
    EXPECT_EQ(f.edges.back(), std::make_pair(2, 0));
    f.edges.clear();
    f.Outputs(0x09, 0x00); // outputs 0 and 3 rise together
    EXPECT_EQ(f.edges, (Edges {{2, 2}, {2, 1}}));
    f.edges.clear();
    f.slot.BedResponse(); // a failed exchange runs no edge detection
    f.Outputs(0x00, 0x00);
    EXPECT_EQ(f.edges, (Edges {{2, 0}, {2, 0}}));
}

TEST(Slot, Kr100InputSixIsActiveLow)
{
    SlotFixture f(false);
    f.Inputs(0x40, 0x00);
    EXPECT_EQ(f.edges, (Edges {{2, 0}}));
    f.Inputs(0x00, 0x00);
    EXPECT_EQ(f.edges.back(), std::make_pair(2, 1));
    f.Inputs(0x00, 0xFF);
    EXPECT_EQ(f.edges.size(), 2u);
}

TEST(Slot, ShowWritesWeightAndCountersAfterALinkLoss)
{
    SlotFixture f(true);
    f.slot.Exec(MakeAnswer(7, 0xC3, {0x45, 0x23, 0x01, 0x02}));
    f.slot.Exec(MakeAnswer(7, 0xC8, {4, 0x50, 0x01}));
    f.slot.Show();
    EXPECT_EQ(f.display.caption, "   123.45   ");
    EXPECT_EQ(f.display.texts[TSlotDisplay::Count_E], "1.50");
    for (int i = 0; i < 19; ++i)
        f.slot.BedResponse();
    f.slot.Show();
    EXPECT_EQ(f.display.caption, "    ???    ");
    EXPECT_EQ(f.display.texts[TSlotDisplay::Count_E], "1.50");
}

TEST(Slot, ShowKr200Indicators)
{
    SlotFixture f(true);
    using D = TSlotDisplay;
    f.State(0x02); // unloading
    f.slot.Show();
    EXPECT_TRUE(f.display.open);
    EXPECT_TRUE(f.display.active[D::L_Animate]);
    EXPECT_FALSE(f.display.active[D::H_Animate]);
    EXPECT_FALSE(f.display.shown[D::ProdAn1]);
    const int writes = f.display.gateWrites;
    f.slot.Show();
    EXPECT_EQ(f.display.gateWrites, writes) << "the gate is written only when it changes";

    f.State(0x04); // loading, outputs 0 and 3 off
    f.Inputs(0x00, 0x80);
    f.slot.Show();
    EXPECT_FALSE(f.display.open);
    EXPECT_TRUE(f.display.active[D::H_Animate]);
    EXPECT_TRUE(f.display.shown[D::ProdAn1] && f.display.shown[D::ProdAn2]);
    EXPECT_FALSE(f.display.active[D::ProdAn1]) << "a still picture";

    f.Outputs(0x01, 0x00); // output 0 on: the loading animation stops
    f.slot.Show();
    EXPECT_FALSE(f.display.active[D::H_Animate]);

    f.Outputs(0x00, 0x05); // outputs 8 and 10: flow straight through
    f.slot.Show();
    EXPECT_TRUE(f.display.open);
    EXPECT_TRUE(f.display.active[D::L_Animate] && f.display.active[D::H_Animate]);
    EXPECT_TRUE(f.display.shown[D::L_Animate] && f.display.shown[D::H_Animate]);
}

TEST(Slot, ShowKr100Indicators)
{
    using D = TSlotDisplay;
    SlotFixture f(false);
    f.Outputs(static_cast<uint8_t>(~0x30), 0x00); // outputs 4 and 5 on (inverted on the wire)
    f.State(0x0E);
    f.Inputs(0x40, 0x00);
    f.slot.Show();
    EXPECT_TRUE(f.display.open);
    EXPECT_TRUE(f.display.active[D::L_Animate] && f.display.active[D::H_Animate]);
    EXPECT_TRUE(f.display.shown[D::L_Animate] && f.display.shown[D::H_Animate]);
    EXPECT_FALSE(f.display.shown[D::ProdAn1]) << "input 6 on hides the product animations";

    SlotFixture g(false);
    g.Outputs(0xFF, 0x00);
    g.State(0x0C); // loading and paused: the pause wins, as it comes last
    g.Inputs(0x00, 0x00);
    g.slot.Show();
    EXPECT_FALSE(g.display.open);
    EXPECT_FALSE(g.display.active[D::H_Animate]);
    EXPECT_FALSE(g.display.shown[D::L_Animate]);
    EXPECT_TRUE(g.display.shown[D::ProdAn1]);

    g.State(0x02); // unloading
    g.slot.Show();
    EXPECT_TRUE(g.display.open);
    EXPECT_TRUE(g.display.active[D::L_Animate] && g.display.shown[D::L_Animate]);
    g.State(0x00); // no flag: everything stays as it was
    g.slot.Show();
    EXPECT_TRUE(g.display.open);
    EXPECT_TRUE(g.display.active[D::L_Animate]);
}

} // namespace
} // namespace karvel
