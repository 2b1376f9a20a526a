// The framing component on a real port: a request goes out as a frame on the far end of
// a pseudo-terminal, and the answer written there comes back as a packet.
#include "com_port.h"
#include "com_vistam.h"
#include "serial_test_support.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace karvel {
namespace {

struct Packet {
    std::vector<uint8_t> value;
    uint8_t colByte;
    bool findMail;
    std::thread::id thread;
};

class SerialFraming : public ::testing::Test {
protected:
    void SetUp() override
    {
        links.Link(1, pty.SlavePath());
        port.ComProp().SetBaudRate(TBaudRate::br19200);
        port.ComProp().SetByteSize(TByteSize::bs8);
        port.SetTimeReceiveByte(140);
        vistam.SetComPort(&port);
        vistam.OnNewPacketRead = [this](const uint8_t* value, uint8_t colByte, bool findMail) {
            packets.push_back({std::vector<uint8_t>(value, value + TComVistam::kBufferSize),
                               colByte, findMail, std::this_thread::get_id()});
        };
    }

    test::PortLinks links;
    test::PtyPair pty;
    TComPort port;
    TComVistam vistam;
    std::vector<Packet> packets;
};

TEST_F(SerialFraming, RequestFrameOnTheWireAndAnswerAsPacket)
{
    ASSERT_TRUE(port.Connect());
    const uint8_t request[] = {0x05, 0xC8, 0x01};
    vistam.SendValue(request, 3);
    port.SetReadActive(true);
    EXPECT_EQ(pty.Receive(7, 2000),
              (std::vector<uint8_t> {0xFF, 0x05, 0xC8, 0x01, 0xDD, 0xFF, 0xFF}));
    EXPECT_TRUE(port.PutClearEvents());

    pty.Send({0xFF, 0x05, 0xC8, 0x01, 0xDD, 0xFF, 0xFF});
    ASSERT_TRUE(test::PumpUntil([&] { return !packets.empty(); }));
    const Packet& p = packets[0];
    EXPECT_TRUE(p.findMail);
    EXPECT_EQ(p.colByte, 4);
    EXPECT_EQ(std::vector<uint8_t>(p.value.begin(), p.value.begin() + 5),
              (std::vector<uint8_t> {0x05, 0xC8, 0x01, 0xDD, 0x00}));
    EXPECT_EQ(p.thread, std::this_thread::get_id());
    EXPECT_FALSE(port.PutClearEvents()) << "a good answer settles the request";
    test::PumpFor(400);
    EXPECT_EQ(packets.size(), 1u) << "no silence report after a good answer";
}

TEST_F(SerialFraming, UnansweredRequestBecomesTheNoAnswerNotice)
{
    ASSERT_TRUE(port.Connect());
    const uint8_t request[] = {0x01, 0xC3};
    vistam.SendValue(request, 2);
    port.SetReadActive(true);
    EXPECT_EQ(pty.Receive(6, 2000), (std::vector<uint8_t> {0xFF, 0x01, 0xC3, 0xE3, 0xFF, 0xFF}));
    ASSERT_TRUE(test::PumpUntil([&] { return !packets.empty(); }));
    EXPECT_FALSE(packets[0].findMail);
    EXPECT_EQ(packets[0].colByte, 0);
    test::PumpFor(400);
    EXPECT_EQ(packets.size(), 1u);
}

// The line windows' cycle: each packet is answered by the next request from inside the
// handler, with the reader waiting for the handler all along.
TEST_F(SerialFraming, NextRequestFromInsideTheHandler)
{
    ASSERT_TRUE(port.Connect());
    const uint8_t request[] = {0x05, 0xC8, 0x01};
    int answered = 0;
    vistam.OnNewPacketRead = [&](const uint8_t*, uint8_t, bool findMail) {
        answered += findMail ? 1 : 0;
        if (answered < 3)
            vistam.SendValue(request, 3);
    };
    vistam.SendValue(request, 3);
    port.SetReadActive(true);
    const std::vector<uint8_t> frame = {0xFF, 0x05, 0xC8, 0x01, 0xDD, 0xFF, 0xFF};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(pty.Receive(7, 2000), frame) << i;
        pty.Send(frame);
        ASSERT_TRUE(test::PumpUntil([&] { return answered == i + 1; })) << i;
    }
    EXPECT_EQ(pty.Receive(1, 300).size(), 0u) << "no fourth request";
}

} // namespace
} // namespace karvel
