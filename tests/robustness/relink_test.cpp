// A terminal whose link was lost and came back must book only what was weighed since its
// last booking: clearing the booked total at the loss booked everything booked before the
// loss a second time (seen in the soak as a difference equal to the total at the loss).
#include "d_karvel.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace karvel {
namespace {

std::array<uint8_t, 255> CounterAnswer(uint8_t net, uint8_t number, uint64_t value)
{
    std::array<uint8_t, 255> packet {};
    packet[0] = net;
    packet[1] = CodeCounter;
    packet[2] = number;
    for (int i = 0; i < 5; ++i, value /= 100)
        packet[3 + static_cast<size_t>(i)] =
            static_cast<uint8_t>((value % 10) | ((value / 10 % 10) << 4));
    return packet;
}

struct Booking {
    double countD;
    double countC;
};

void Totals(TDoz_Karvel& t, uint64_t total, uint64_t lastPortion)
{
    for (int i = 0; i < 4; ++i) {
        const auto c = CounterAnswer(t.NetNum, 1, total);
        t.Exec(Packet(c.data(), c.size()));
    }
    const auto d = CounterAnswer(t.NetNum, 6, lastPortion);
    t.Exec(Packet(d.data(), d.size()));
}

TEST(RelinkBooking, ALinkLossDoesNotBookTheTotalAgain)
{
    TDoz_Karvel terminal(7);
    std::vector<Booking> booked;
    terminal.FOnChangeCount = [&](uint8_t, double d, double c, const std::string&,
                                  const std::string&) {
        booked.push_back({d, c});
    };
    Totals(terminal, 100, 50); // baseline
    Totals(terminal, 150, 50); // +50 booked
    ASSERT_EQ(booked.size(), 1u);
    EXPECT_EQ(booked[0].countD, 50);

    for (int i = 0; i < TDoz_Karvel::kLinkLostAt; ++i)
        terminal.BedResponse();
    ASSERT_FALSE(terminal.Connect);

    Totals(terminal, 170, 20); // the link is back; 20 kg were weighed meanwhile
    ASSERT_EQ(booked.size(), 2u);
    EXPECT_EQ(booked[1].countD, 20)
        << "booked " << booked[1].countD << ": the 150 booked before counted again";
    EXPECT_EQ(booked[1].countC, 170);
}

} // namespace
} // namespace karvel
