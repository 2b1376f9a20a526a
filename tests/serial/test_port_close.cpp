// Closing and destroying a port while its reader waits for the main thread.
#include "com_port.h"
#include "serial_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace karvel {
namespace {

using test::PumpFor;
using test::PumpUntil;

// Ends the test program when a close deadlocks instead of hanging until the time-out.
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : thread_([this, seconds] {
              for (int i = 0; i < seconds * 100 && !done_; ++i)
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              if (!done_) {
                  std::fputs("deadlock: the port did not close\n", stderr);
                  std::abort();
              }
          })
    { }
    ~Watchdog()
    {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_ {false};
    std::thread thread_;
};

class ComPortClose : public ::testing::Test {
protected:
    void SetUp() override
    {
        links.Link(1, pty.SlavePath());
        port = std::make_unique<TComPort>();
        port->SetOnReadPacket([this](const uint8_t*, int size, uint32_t) {
            ++deliveries;
            if (onDelivery)
                onDelivery(size);
        });
        port->SetTimeReceiveByte(30);
    }

    // Waits (without running the event loop) until the reader has read every byte sent:
    // it is then blocked handing the burst over.
    // The bytes sent may not have reached the tty's queue yet when it is first looked at:
    // the queue must be seen empty twice, 50 ms apart, before the reader counts as having
    // taken everything.
    void WaitReaderTookAll()
    {
        uint32_t errors = 0;
        int emptySeen = 0;
        for (int i = 0; i < 300 && emptySeen < 2; ++i) {
            emptySeen = port->GetState(errors).cbInQue == 0 ? emptySeen + 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(emptySeen > 0 ? 50 : 10));
        }
        ASSERT_EQ(port->GetState(errors).cbInQue, 0u);
    }

    test::PortLinks links;
    test::PtyPair pty;
    std::unique_ptr<TComPort> port;
    int deliveries = 0;
    std::function<void(int)> onDelivery;
};

TEST_F(ComPortClose, CloseWhileTheMainThreadHasNotTakenAByte)
{
    ASSERT_TRUE(port->Connect());
    port->SetReadActive(true);
    pty.Send({1, 2, 3});
    WaitReaderTookAll(); // the burst read, its hand-over waiting for the event loop
    {
        Watchdog watchdog(10);
        port->Close();
    }
    EXPECT_FALSE(port->Connected());
    PumpFor(200); // the ring is still queued in the event loop
    EXPECT_EQ(deliveries, 0);
}

TEST_F(ComPortClose, CloseFromInsideASlowHandler)
{
    ASSERT_TRUE(port->Connect());
    port->SetReadActive(true);
    onDelivery = [this](int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Watchdog watchdog(10);
        port->Close();
    };
    pty.Send({1, 2, 3});
    ASSERT_TRUE(PumpUntil([&] { return deliveries > 0; }));
    PumpFor(200);
    EXPECT_EQ(deliveries, 1);
    EXPECT_FALSE(port->Connected());
}

TEST_F(ComPortClose, ReopenFromInsideAHandlerStartsANewHeldReader)
{
    test::PtyPair other;
    links.Link(2, other.SlavePath());
    ASSERT_TRUE(port->Connect());
    port->SetReadActive(true);
    onDelivery = [this](int) {
        if (port->ComNumber() == 1)
            port->SetComNumber(2);
    };
    pty.Send({1, 2});
    ASSERT_TRUE(PumpUntil([&] { return deliveries == 1; }));
    EXPECT_TRUE(port->Connected());
    EXPECT_FALSE(port->ReadActive());
    other.Send({3});
    port->SetReadActive(true);
    ASSERT_TRUE(PumpUntil([&] { return deliveries == 2; }));
    PumpFor(100);
    EXPECT_EQ(deliveries, 2) << "the second byte of the old line is never delivered";
}

TEST_F(ComPortClose, DestroyRightAfterClose)
{
    ASSERT_TRUE(port->Connect());
    port->SetReadActive(true);
    pty.Send({1, 2, 3});
    WaitReaderTookAll();
    {
        Watchdog watchdog(10);
        port->Close();
        port.reset();
    }
    PumpFor(150);
    EXPECT_EQ(deliveries, 0);
}

TEST_F(ComPortClose, DestroyWhileOpenAndWaitingForTheMainThread)
{
    ASSERT_TRUE(port->Connect());
    port->SetReadActive(true);
    port->SetPutClearEvents(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // silence report waiting
    {
        Watchdog watchdog(10);
        port.reset();
    }
    PumpFor(150);
    EXPECT_EQ(deliveries, 0);
}

TEST_F(ComPortClose, HeldReaderWithAWaitingByteClosesToo)
{
    ASSERT_TRUE(port->Connect());
    port->SetReadActive(true);
    pty.Send({1, 2});
    WaitReaderTookAll();
    port->SetReadActive(false);
    PumpFor(100);
    EXPECT_EQ(deliveries, 0) << "a held port delivers nothing, not even a byte already read";
    {
        Watchdog watchdog(10);
        port->Close();
    }
    PumpFor(100);
    EXPECT_EQ(deliveries, 0);
    ASSERT_TRUE(port->Connect()) << "the device can be opened again";
}

} // namespace
} // namespace karvel
