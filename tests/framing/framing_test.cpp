// Framing and checksums of the terminal line, checked byte for byte.
#include "com_vistam.h"
#include "crc8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace karvel {
namespace {

using Bytes = std::vector<uint8_t>;

// The port as the framing sees it: records what is written and when reading was on.
class RecordingLink : public TPortLink {
public:
    bool Connected() const override { return connected; }
    bool ReadActive() const override { return readActive; }
    void SetReadActive(bool active) override
    {
        readActive = active;
        events.push_back(active ? "read-on" : "read-off");
    }
    bool PutClearEvents() const override { return outstanding; }
    void SetPutClearEvents(bool value) override { outstanding = value; }
    bool WriteBuffer(const uint8_t* buf, uint16_t size) override
    {
        written.assign(buf, buf + size);
        events.push_back("write");
        return true;
    }
    void Feed(const Bytes& bytes)
    {
        for (uint8_t b : bytes)
            DeliverRead(&b, 1, 0);
    }
    void Silence()
    {
        const uint8_t stale = 0x55;
        outstanding = false;
        DeliverRead(&stale, 0, 0);
    }

    bool connected = true;
    bool readActive = true;
    bool outstanding = false;
    Bytes written;
    std::vector<std::string> events;
};

struct Delivery {
    Bytes value; // the whole 255-byte buffer
    int colByte;
    bool findMail;
    Bytes Meaningful() const { return Bytes(value.begin(), value.begin() + colByte); }
};

class FramingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        framing.SetComPort(&link);
        framing.OnNewPacketRead = [this](const uint8_t* value, uint8_t colByte, bool findMail) {
            deliveries.push_back(
                {Bytes(value, value + TComVistam::kBufferSize), colByte, findMail});
        };
        framing.OnError = [this](uint8_t code) { errors.push_back(code); };
    }
    void Send(const Bytes& data)
    {
        framing.SendValue(data.data(), static_cast<uint8_t>(data.size()));
    }

    RecordingLink link;
    TComVistam framing;
    std::vector<Delivery> deliveries;
    std::vector<int> errors;
};

Bytes Frame(const Bytes& data)
{
    uint8_t out[300];
    const int n = BuildVistamFrame(data.data(), static_cast<int>(data.size()), out, sizeof out);
    return Bytes(out, out + n);
}

TEST(Crc8, CheckValuesAndEndIndexRule)
{
    const Bytes request {0x05, 0xC8, 0x01, 0x00};
    const Bytes received {0x05, 0xC8, 0x01, 0xDD};
    const Bytes digits {'1', '2', '3', '4', '5', '6', '7', '8', '9', 0x00};
    EXPECT_EQ(CRCMaker(request.data(), 0, 0), 0);
    EXPECT_EQ(CRCMaker(request.data(), 4, 0), 0xDD);
    EXPECT_EQ(CRCMaker(received.data(), 4, 0), 0);
    EXPECT_EQ(CRCMaker(digits.data(), 10, 0), 0xE7);
    EXPECT_EQ(CRCMaker(received.data(), 3, 1), CRCMaker(Bytes {0xC8, 0x01, 0xDD}.data(), 3, 0));
    // The end index is formed in 8 bits: 200 + 100 - 1 wraps below the offset.
    std::vector<uint8_t> big(400, 0xAB);
    EXPECT_EQ(CRCMaker(big.data(), 100, 200), 0);
    EXPECT_EQ(Crc8OfData(Bytes {0x05, 0xC8, 0x01}.data(), 3), 0xDD);
}

TEST(Crc8, ByteTableAgreesWithTheBitwiseRegister)
{
    std::mt19937 random(3);
    for (int reg = 0; reg < 256; ++reg) {
        const auto byte = static_cast<uint8_t>(random());
        EXPECT_EQ(Crc8Shift(static_cast<uint8_t>(reg), byte),
                  Crc8Step(static_cast<uint8_t>(reg), byte));
    }
}

TEST_F(FramingTest, VistamSendWritesTheWorkedFrames)
{
    const struct {
        Bytes data;
        Bytes frame;
    } cases[] = {
        {{0x05, 0xC8, 0x01}, {0xFF, 0x05, 0xC8, 0x01, 0xDD, 0xFF, 0xFF}},
        {{0x01, 0xC3}, {0xFF, 0x01, 0xC3, 0xE3, 0xFF, 0xFF}},
        {{0x05, 0xFF, 0x01}, {0xFF, 0x05, 0xFF, 0xFE, 0x01, 0x84, 0xFF, 0xFF}},
        {{0x07, 0xB3}, {0xFF, 0x07, 0xB3, 0xFF, 0xFE, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        link.outstanding = false;
        Send(c.data);
        EXPECT_EQ(link.written, c.frame);
        EXPECT_EQ(
            Bytes(framing.LastFrameSent(), framing.LastFrameSent() + framing.LastFrameSentLength()),
            c.frame);
        EXPECT_TRUE(link.outstanding) << "a request leaves the request-outstanding flag set";
    }
}

TEST_F(FramingTest, SendOnClosedPortWritesNothingAndKeepsTheReceiveState)
{
    link.Feed({0x00, 0xFF, 0x05}); // a frame half collected
    const int collected = framing.CollectedBytes();
    link.connected = false;
    Send({0x05, 0xC3});
    EXPECT_TRUE(link.written.empty());
    EXPECT_FALSE(link.outstanding);
    EXPECT_EQ(framing.CollectedBytes(), collected);
    EXPECT_EQ(framing.State(), 2);
}

TEST_F(FramingTest, VistamReceiveTakesARunOfStartBytesAsOne)
{
    link.outstanding = true;
    link.Feed({0x12, 0x34, 0xFF, 0xFF, 0xFF, 0x05, 0xC8, 0x01, 0xDD, 0xFF, 0xFF});
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].Meaningful(), (Bytes {0x05, 0xC8, 0x01, 0xDD}));
    EXPECT_TRUE(deliveries[0].findMail);
    EXPECT_TRUE(std::all_of(deliveries[0].value.begin() + 4, deliveries[0].value.end(),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_FALSE(link.outstanding) << "a good frame clears the request-outstanding flag";
    EXPECT_TRUE(errors.empty());
}

TEST_F(FramingTest, VistamRoundTripsStuffedData)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        Bytes data(1 + random() % 40);
        for (auto& b : data)
            b = (random() % 4 == 0) ? 0xFF : static_cast<uint8_t>(random() % 2 ? 0xFE : random());
        data[0] = static_cast<uint8_t>(1 + random() % 254); // a network number, never FF
        deliveries.clear();
        framing.ClearMessage();
        link.Feed(Frame(data));
        ASSERT_EQ(deliveries.size(), 1u) << "round " << round;
        Bytes expected = data;
        expected.push_back(Crc8OfData(data.data(), static_cast<int>(data.size())));
        EXPECT_EQ(deliveries[0].Meaningful(), expected);
    }
    ASSERT_TRUE(errors.empty());
}

TEST_F(FramingTest, VistamDeliversStuffedFeAfterFf)
{
    const Bytes data {0x05, 0xFF, 0xFE, 0x01};
    const Bytes frame = Frame(data);
    EXPECT_EQ(Bytes(frame.begin() + 2, frame.begin() + 5), (Bytes {0xFF, 0xFE, 0xFE}));
    link.Feed(frame);
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(Bytes(deliveries[0].value.begin(), deliveries[0].value.begin() + 4), data);
}

TEST_F(FramingTest, VistamRejectsBadChecksumsAndFramesWithoutData)
{
    link.outstanding = true;
    link.Feed({0xFF, 0x05, 0xC8, 0x01, 0xDE, 0xFF, 0xFF});
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(errors, std::vector<int> {3});
    EXPECT_TRUE(link.outstanding) << "silence must still end the wait";
    // A data byte FF at the start is taken for a repeated start byte: cannot be received.
    link.Feed(Frame({0xFF, 0xC3}));
    EXPECT_TRUE(deliveries.empty());
    // A stray end marker after a frame carries no data: nothing is delivered.
    framing.ClearMessage();
    link.Feed(Frame({0x05, 0xC3}));
    link.Feed({0x05, 0xFF, 0xFF});
    EXPECT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(errors.back(), 3);
}

TEST_F(FramingTest, VistamDecodesASecondFrameWithoutAnInterveningRequest)
{
    link.Feed(Frame({0x05, 0xC3, 0x01}));
    link.Feed(Frame({0x06, 0xC4, 0x02}));
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[1].value[0], 0x06);
}

TEST_F(FramingTest, OverflowDropsThe256thByteAndClearsTheState)
{
    Bytes longFrame {0xFF};
    longFrame.insert(longFrame.end(), 254, 0x11); // 255 bytes collected, start included
    link.Feed(longFrame);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(framing.CollectedBytes(), 255);
    link.Feed({0x11});
    EXPECT_EQ(errors, std::vector<int> {1});
    EXPECT_EQ(framing.State(), 0);
    EXPECT_EQ(framing.CollectedBytes(), 0);
    link.Feed(Frame({0x05, 0xC3}));
    EXPECT_EQ(deliveries.size(), 1u) << "the next frame is decoded normally";
}

TEST_F(FramingTest, EmptyNotificationReportsNoAnswerOnlyWhileReading)
{
    link.Feed({0xFF, 0x05, 0xC8});
    link.readActive = false;
    link.Silence();
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(framing.State(), 2) << "ignored while reading is held";
    link.readActive = true;
    link.Silence();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].colByte, 0);
    EXPECT_FALSE(deliveries[0].findMail);
    EXPECT_EQ(framing.State(), 0);
    link.Feed(Frame({0x05, 0xC3}));
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_TRUE(deliveries[1].findMail);
    EXPECT_EQ(deliveries[1].colByte, 3);
}

TEST_F(FramingTest, NothingIsRaisedWhileReadingIsHeld)
{
    link.readActive = false;
    link.Feed({0xFF, 0x05, 0xC8, 0x01, 0xDE, 0xFF, 0xFF});
    link.Feed(Frame({0x05, 0xC3}));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(deliveries.empty());
}

TEST_F(FramingTest, AHandlerMaySendTheNextRequestFromInsideTheDelivery)
{
    framing.OnNewPacketRead = [this](const uint8_t* value, uint8_t colByte, bool) {
        deliveries.push_back({Bytes(value, value + TComVistam::kBufferSize), colByte, true});
        Send({0x06, 0xC3});
    };
    link.Feed(Frame({0x05, 0xC3, 0x00}));
    EXPECT_EQ(link.written, Frame({0x06, 0xC3}));
    EXPECT_TRUE(link.outstanding);
    EXPECT_EQ(framing.State(), 0);
    EXPECT_EQ(framing.CollectedBytes(), 0);
    link.Feed(Frame({0x06, 0xC3, 0x01}));
    EXPECT_EQ(deliveries.size(), 2u);
}

TEST_F(FramingTest, BbsSendAndReceiveTheLinkChain)
{
    framing.SetProtocol(TProtocol::BBS);
    Send({0x05, 0xC8, 0x01});
    EXPECT_EQ(link.written, (Bytes {0xFF, 0x05, 0x05, 0xC8, 0x01, 0xDD, 0xFF}));
    Send({0x05, 0xFF, 0x01});
    EXPECT_EQ(link.written, (Bytes {0xFF, 0x02, 0x05, 0x03, 0x01, 0x84, 0xFF}));
    link.Feed({0xFF, 0x02, 0x05, 0x03, 0x01, 0x84, 0xFF});
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].Meaningful(), (Bytes {0x05, 0xFF, 0x01}));
    EXPECT_FALSE(link.outstanding);
    link.Feed({0xFF, 0x05, 0x05, 0xC8, 0x01, 0xDE, 0xFF});
    EXPECT_EQ(errors, std::vector<int> {3});
    EXPECT_EQ(framing.State(), 0);
}

TEST_F(FramingTest, BbsRoundTripsDataFullOfFf)
{
    framing.SetProtocol(TProtocol::BBS);
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        Bytes data(1 + random() % 60);
        for (auto& b : data)
            b = random() % 3 == 0 ? 0xFF : static_cast<uint8_t>(random());
        uint8_t frame[160];
        const int n =
            BuildBbsFrame(data.data(), static_cast<int>(data.size()), frame, sizeof frame);
        deliveries.clear();
        link.Feed(Bytes(frame, frame + n));
        ASSERT_EQ(deliveries.size(), 1u) << "round " << round;
        EXPECT_EQ(deliveries[0].Meaningful(), data);
    }
}

TEST_F(FramingTest, P643MasterDataRequest)
{
    framing.SetProtocol(TProtocol::P6_43Master);
    link.readActive = false;
    Send({0x07, 0x10});
    EXPECT_EQ(link.written, Bytes {0x10});
    EXPECT_EQ(link.events, (std::vector<std::string> {"write", "read-on"}));
    EXPECT_TRUE(link.outstanding);
    link.Feed({1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(deliveries.empty());
    link.Feed({9});
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].Meaningful(), (Bytes {0x10, 0x07, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_FALSE(link.readActive);
}

TEST_F(FramingTest, P643MasterAcknowledgedCommand)
{
    framing.SetProtocol(TProtocol::P6_43Master);
    link.readActive = false;
    Send({0x07, 0x20});
    EXPECT_EQ(link.written, Bytes {0x20});
    EXPECT_EQ(link.events, (std::vector<std::string> {"read-on", "write"}))
        << "listening before the command";
    link.Feed({0x5A});
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].Meaningful(), (Bytes {0xFF, 0x07}));
    EXPECT_FALSE(link.readActive);
}

TEST_F(FramingTest, P643SlaveFollowsAnotherMaster)
{
    framing.SetProtocol(TProtocol::P6_43Slave);
    Send({0x05, 0xC3});
    EXPECT_TRUE(link.written.empty());
    link.Feed({0x01, 0x30, 0x30, 0x31, 0x32});
    EXPECT_EQ(framing.NetNOld(), 12);
    link.Feed({0x10, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].Meaningful(), (Bytes {0x10, 0x0C, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    link.Feed({0x01, 0x30, 0x41, 0x30, 0x30});
    EXPECT_EQ(framing.NetNOld(), 12) << "an address with a non-digit is ignored";
}

TEST_F(FramingTest, UnknownProtocolValueDoesNothing)
{
    framing.SetProtocol(static_cast<TProtocol>(7));
    Send({0x05, 0xC3});
    link.Feed(Frame({0x05, 0xC3}));
    EXPECT_TRUE(link.written.empty());
    EXPECT_TRUE(deliveries.empty());
}

TEST(FramingLifetime, APortDestroyedFirstIsForgotten)
{
    TComVistam framing;
    {
        RecordingLink link;
        framing.SetComPort(&link);
        EXPECT_EQ(framing.ComPort(), &link);
    }
    EXPECT_EQ(framing.ComPort(), nullptr);
    const uint8_t data[] = {0x05, 0xC3};
    framing.SendValue(data, 2); // must not touch the destroyed port
}

TEST(FramingLifetime, AFramingDestroyedFirstNoLongerReceives)
{
    RecordingLink link;
    {
        TComVistam framing;
        framing.SetComPort(&link);
    }
    link.Feed({0xFF, 0x05}); // must not reach the destroyed component
    SUCCEED();
}

} // namespace
} // namespace karvel
