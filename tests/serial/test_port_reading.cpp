// The reader over a pseudo-terminal: one delivery per byte on the main thread, holding,
// the silence report and reopening by port number.
#include "com_port.h"
#include "serial_test_support.h"

#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace karvel {
namespace {

using test::PumpFor;
using test::PumpUntil;

struct Delivery {
    std::vector<uint8_t> bytes; // the valid bytes at the start of the buffer
    int size;
    uint32_t errCode;
    std::thread::id thread;
};

class ComPortReading : public ::testing::Test {
protected:
    void SetUp() override
    {
        links.Link(1, pty.SlavePath());
        port.SetOnReadPacket([this](const uint8_t* buffer, int size, uint32_t errCode) {
            got.push_back({std::vector<uint8_t>(buffer, buffer + size), size, errCode,
                           std::this_thread::get_id()});
        });
        port.SetTimeReceiveByte(30);
    }

    size_t DataBytes() const
    {
        size_t n = 0;
        for (const Delivery& d : got)
            n += static_cast<size_t>(d.size);
        return n;
    }

    test::PortLinks links;
    test::PtyPair pty;
    TComPort port;
    std::vector<Delivery> got;
};

TEST_F(ComPortReading, NothingIsDeliveredBeforeReadActive)
{
    ASSERT_TRUE(port.Connect());
    port.SetPutClearEvents(true);
    pty.Send({0x11, 0x22});
    PumpFor(200);
    EXPECT_TRUE(got.empty());
    EXPECT_TRUE(port.PutClearEvents()) << "a held reader reports no silence either";
    port.SetReadActive(true);
    ASSERT_TRUE(PumpUntil([&] { return DataBytes() == 2; }));
    EXPECT_EQ(got[0].bytes, std::vector<uint8_t> {0x11});
    EXPECT_EQ(got[1].bytes, std::vector<uint8_t> {0x22});
}

TEST_F(ComPortReading, EveryByteIsOneDeliveryOnTheMainThread)
{
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    std::vector<uint8_t> sent(256);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i);
    // Twice the buffer size of 255 bytes, so the reader's buffer index wraps on the way.
    pty.Send(sent);
    pty.Send(sent);
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 512; }, 10000)) << got.size();
    PumpFor(100);
    ASSERT_EQ(got.size(), 512u);
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].size, 1) << i;
        EXPECT_EQ(got[i].bytes[0], sent[i % 256]) << i;
        EXPECT_EQ(got[i].errCode, 0u);
        EXPECT_EQ(got[i].thread, std::this_thread::get_id());
    }
}

TEST_F(ComPortReading, SilenceIsReportedOnlyForAnOutstandingRequestAndOnce)
{
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    PumpFor(200); // several wait slices
    EXPECT_TRUE(got.empty()) << "no request outstanding, nothing to report";

    port.SetPutClearEvents(true);
    ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got[0].size, 0);
    EXPECT_FALSE(port.PutClearEvents());
    PumpFor(200);
    EXPECT_EQ(got.size(), 1u) << "one report per request";

    // A new request arms it again: a byte and one report (the byte does not clear the
    // flag; only the framing component does that on a good answer).
    pty.Send({0x42});
    port.SetPutClearEvents(true);
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 3; }));
    PumpFor(150);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].size + got[2].size, 1);
    EXPECT_FALSE(port.PutClearEvents());
}

TEST_F(ComPortReading, HoldingStopsDeliveryAndReleaseResumesIt)
{
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    // The handler holds reading after the first byte, as a polling master does.
    port.SetOnReadPacket([this](const uint8_t* buffer, int size, uint32_t) {
        got.push_back({std::vector<uint8_t>(buffer, buffer + size), size, 0, {}});
        port.SetReadActive(false);
    });
    pty.Send({1, 2, 3});
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 1; }));
    PumpFor(150);
    EXPECT_EQ(got.size(), 1u);
    EXPECT_FALSE(port.ReadActive());
    port.SetReadActive(true);
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 2; }));
    port.SetReadActive(true);
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 3; }));
    EXPECT_EQ(got[1].bytes[0], 2);
    EXPECT_EQ(got[2].bytes[0], 3);
}

// A request written from inside a delivery discards unread input: the bytes of the same
// burst that were read but not yet delivered go with it, as the driver's queue does.
TEST_F(ComPortReading, ARequestWrittenInsideADeliveryDropsTheRestOfTheBurst)
{
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    port.SetOnReadPacket([this](const uint8_t* buffer, int size, uint32_t) {
        got.push_back({std::vector<uint8_t>(buffer, buffer + size), size, 0, {}});
        const uint8_t request[] = {0x10, 0x20};
        EXPECT_TRUE(port.WriteBuffer(request, sizeof request));
    });
    pty.Send({1, 2, 3, 4});
    ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
    EXPECT_EQ(pty.Receive(2, 1000), (std::vector<uint8_t> {0x10, 0x20}));
    PumpFor(100);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, (std::vector<uint8_t> {1}));
    pty.Send({5});
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 2; }));
    EXPECT_EQ(got[1].bytes, (std::vector<uint8_t> {5})) << "what comes after the request is read";
}

// Bytes that come one at a time at the line's pace are collected into bursts by the
// reader; whatever the bursts, the receiver gets every byte once, in order, one per call,
// with or without a frame end to hand a burst over early.
TEST_F(ComPortReading, BytesComingAtTheLinesPaceArriveInOrderOnePerCall)
{
    port.ComProp().SetBaudRate(TBaudRate::br19200);
    port.ComProp().SetByteSize(TByteSize::bs8);
    for (const int32_t frameEnd : {-1, 0xFFFF}) {
        got.clear();
        port.SetFrameEnd(frameEnd);
        ASSERT_TRUE(port.Connect());
        port.SetReadActive(true);
        const std::vector<uint8_t> frame {0xFF, 5, 0xC8, 1, 0x42, 0xFF, 0xFE, 7, 0x33, 0xFF, 0xFF};
        for (uint8_t byte : frame) {
            pty.Send({byte});
            const timespec byteTime {0, 520'000}; // one character at 19200 bit/s
            nanosleep(&byteTime, nullptr);
        }
        ASSERT_TRUE(PumpUntil([&] { return DataBytes() == frame.size(); }));
        PumpFor(50);
        std::vector<uint8_t> bytes;
        for (const Delivery& d : got) {
            EXPECT_EQ(d.size, 1);
            bytes.insert(bytes.end(), d.bytes.begin(), d.bytes.end());
        }
        EXPECT_EQ(bytes, frame) << "frame end " << frameEnd;
        port.Close();
    }
}

// A handler that releases reading and then runs a nested event loop (a modal window
// opened from inside the polling step) must not get the same byte again, and the next
// byte waits until it returns.
TEST_F(ComPortReading, NestedEventLoopInsideAHandlerGetsNoSecondDelivery)
{
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    int depth = 0, deepest = 0;
    port.SetOnReadPacket([&](const uint8_t* buffer, int size, uint32_t) {
        got.push_back({std::vector<uint8_t>(buffer, buffer + size), size, 0, {}});
        ++depth;
        deepest = std::max(deepest, depth);
        port.SetReadActive(true);
        PumpFor(60);
        --depth;
    });
    pty.Send({1, 2, 3});
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 3; }));
    PumpFor(100);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].bytes[0], 1);
    EXPECT_EQ(got[1].bytes[0], 2);
    EXPECT_EQ(got[2].bytes[0], 3);
    EXPECT_EQ(deepest, 1) << "deliveries never nest";
}

// The far end goes away (an adapter unplugged; here the master side closes): the port
// closes the dead device and says so, and nothing spins while it waits for it to return.
TEST_F(ComPortReading, HungUpLineClosesThePortWithoutSpinning)
{
    int lost = 0;
    port.OnPortLost = [&] { ++lost; };
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    pty.Send({0x33});
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 1; }));
    pty.HangUp();
    port.SetPutClearEvents(true);
    ASSERT_TRUE(PumpUntil([&] { return lost == 1; }));
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(port.Lost());

    timespec before {}, after {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    PumpFor(500);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    const double cpuMs =
        (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
    EXPECT_LT(cpuMs, 200.0) << "a port polling a dead line in a loop would use all 500 ms";
    EXPECT_EQ(got.size(), 1u) << "a lost device delivers nothing";
    EXPECT_EQ(lost, 1);
    const uint8_t byte = 0;
    EXPECT_FALSE(port.WriteBuffer(&byte, 1)) << "writing to a dead line fails";
}

// Bytes that come while no receiver is installed are read and dropped: the receiver
// installed later gets only what arrives after it, still one byte per call.
TEST_F(ComPortReading, WithoutHandlerBytesAreDropped)
{
    port.ClearOnReadPacket();
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    pty.Send({7, 8, 9});
    uint32_t errors = 0;
    ASSERT_TRUE(PumpUntil([&] { return port.GetState(errors).cbInQue == 0; }));
    PumpFor(100);
    port.SetOnReadPacket([this](const uint8_t* buffer, int size, uint32_t) {
        got.push_back({std::vector<uint8_t>(buffer, buffer + size), size, 0, {}});
    });
    pty.Send({10});
    ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
    PumpFor(60);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, (std::vector<uint8_t> {10}));
}

TEST_F(ComPortReading, SameNumberKeepsThePortDifferentNumberReopensHeld)
{
    test::PtyPair other;
    links.Link(2, other.SlavePath());
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    const int handle = port.Handle();
    port.SetComNumber(1);
    EXPECT_TRUE(port.ReadActive()) << "same number: nothing happens";
    EXPECT_EQ(port.Handle(), handle);

    port.SetComNumber(2);
    EXPECT_EQ(port.ComNumber(), 2);
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(port.ReadActive()) << "the new reader waits for ReadActive";
    other.Send({0x5A});
    pty.Send({0x01}); // the old line is no longer read
    PumpFor(150);
    EXPECT_TRUE(got.empty());
    port.SetReadActive(true);
    ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
    PumpFor(100);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes[0], 0x5A);

    port.Close();
    port.SetComNumber(1); // closed: only stored
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.ComNumber(), 1);
}

TEST_F(ComPortReading, ReopenedPortReadsWithTheNewBufferSize)
{
    ASSERT_TRUE(port.Connect());
    port.Close();
    port.SetInBufSize(2);
    ASSERT_TRUE(port.Connect());
    port.SetReadActive(true);
    pty.Send({1, 2, 3, 4, 5});
    ASSERT_TRUE(PumpUntil([&] { return got.size() == 5; }));
    for (const Delivery& d : got)
        EXPECT_EQ(d.size, 1) << "two bytes are enough for one-byte deliveries";
}

} // namespace
} // namespace karvel
