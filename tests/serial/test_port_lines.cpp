// What the port asks of the tty layer: the modem lines at open and close, the driver's
// RS-485 mode, a write the adapter never sends, and a reader that cannot be started.
// Pseudo-terminals have no modem lines and no RS-485 mode, so the control requests go to
// a fake layer that keeps them as a UART driver would; everything else is the real pty.
#include "com_port.h"
#include "serial_reader.h"
#include "serial_test_support.h"
#include "tty_control.h"

#include <gtest/gtest.h>

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <vector>

namespace karvel {
namespace {

serial_rs485 Preset()
{
    serial_rs485 r {};
    r.flags = SER_RS485_RTS_AFTER_SEND | SER_RS485_RX_DURING_TX;
    return r;
}

class FakeUart : public TTtyControl {
public:
    int Ioctl(int fd, unsigned long request, void* arg) override
    {
        requests.push_back(request);
        switch (request) {
        case TIOCMGET:
            *static_cast<int*>(arg) = lines;
            return 0;
        case TIOCMBIS:
            lines |= *static_cast<int*>(arg);
            return 0;
        case TIOCMBIC:
            lines &= ~*static_cast<int*>(arg);
            return 0;
        case TIOCGRS485:
        case TIOCSRS485:
            if (!hasRs485) {
                errno = ENOTTY;
                return -1;
            }
            if (request == TIOCGRS485)
                *static_cast<serial_rs485*>(arg) = rs485;
            else
                rs485 = *static_cast<serial_rs485*>(arg);
            return 0;
        case TIOCOUTQ:
            if (stalled) {
                *static_cast<int*>(arg) = 7; // the frame never leaves the adapter
                return 0;
            }
            break;
        default:
            break;
        }
        return TTtyControl::Ioctl(fd, request, arg);
    }
    int Count(unsigned long request) const
    {
        return static_cast<int>(std::count(requests.begin(), requests.end(), request));
    }

    int lines = TIOCM_DTR | TIOCM_RTS; // raised by the kernel when the tty opens
    bool hasRs485 = true;
    serial_rs485 rs485 = Preset(); // as a driver may hold it from an earlier user
    bool stalled = false;
    std::vector<unsigned long> requests;
};

int OpenDescriptors()
{
    return static_cast<int>(QDir("/proc/self/fd")
                                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                                .size());
}

class PortLines : public ::testing::Test {
protected:
    void SetUp() override { links.Link(1, pty.SlavePath()); }

    test::PortLinks links;
    test::PtyPair pty;
    FakeUart uart;
    TScopedTtyControl layer {uart};
    TComPort port;
};

TEST_F(PortLines, DtrAndRtsAreDroppedAtOpenAndLeftDroppedAfterClose)
{
    ASSERT_TRUE(port.Connect());
    EXPECT_EQ(uart.lines & (TIOCM_DTR | TIOCM_RTS), 0)
        << "a converter keyed by RTS would hold the bus";
    port.ToggleRTS(true);
    port.ToggleDTR(true);
    EXPECT_EQ(uart.lines & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR | TIOCM_RTS);
    port.Close();
    EXPECT_EQ(uart.lines & (TIOCM_DTR | TIOCM_RTS), 0);
}

TEST_F(PortLines, RS485ModeIsAskedOfTheDriverOnlyWhenTheLineWantsIt)
{
    ASSERT_TRUE(port.Connect());
    EXPECT_EQ(uart.Count(TIOCSRS485), 0) << "off: the device is left as it is";
    port.Close();

    port.SetRs485(true);
    ASSERT_TRUE(port.Connect()) << port.LastError().toStdString();
    ASSERT_EQ(uart.Count(TIOCSRS485), 1);
    EXPECT_EQ(uart.rs485.flags & SER_RS485_ENABLED, SER_RS485_ENABLED);
    EXPECT_EQ(uart.rs485.flags & SER_RS485_RTS_ON_SEND, SER_RS485_RTS_ON_SEND);
    EXPECT_EQ(uart.rs485.flags & SER_RS485_RTS_AFTER_SEND, 0u) << "RTS drops for the answer";
    EXPECT_EQ(uart.rs485.flags & SER_RS485_RX_DURING_TX, 0u);
}

TEST_F(PortLines, ADeviceWithoutRS485ModeDoesNotOpenAndTheMessageNamesIt)
{
    uart.hasRs485 = false;
    ASSERT_TRUE(port.Connect()); // the port's own wake-up descriptor stays from here on
    port.Close();
    port.SetRs485(true);
    const int before = OpenDescriptors();
    EXPECT_FALSE(port.Connect());
    EXPECT_EQ(OpenDescriptors(), before) << "the device is closed again";
    const std::string message = port.LastError().toStdString();
    EXPECT_NE(message.find(links.Path("Vistam/dosdevices/com1")), std::string::npos) << message;
    EXPECT_NE(message.find("RS-485"), std::string::npos) << message;
    EXPECT_NE(message.find("COM1"), std::string::npos) << message;
}

// A write the adapter never sends ends in a failed write within the write time-outs, not
// in a window that waits for ever.
TEST_F(PortLines, AWriteTheAdapterNeverSendsFails)
{
    ASSERT_TRUE(port.Connect());
    uart.stalled = true;
    const uint8_t frame[7] = {0xAA, 5, 0xC8, 1, 0x33, 0x0D, 0x0A};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.WriteBuffer(frame, sizeof frame));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    uart.stalled = false;
    EXPECT_TRUE(port.WriteBuffer(frame, sizeof frame));
}

// The same with the real tty: its output stopped, as flow control stops a line.
TEST_F(PortLines, AWriteToAStoppedLineFails)
{
    ASSERT_TRUE(port.Connect());
    ASSERT_EQ(tcflow(port.Handle(), TCOOFF), 0);
    std::vector<uint8_t> frame(64, 0x55);
    EXPECT_FALSE(port.WriteBuffer(frame.data(), static_cast<uint16_t>(frame.size())));
    ASSERT_EQ(tcflow(port.Handle(), TCOON), 0);
}

std::thread RefuseThread(std::function<void()>)
{
    throw std::system_error(EAGAIN, std::generic_category(), "thread");
}

TEST_F(PortLines, AReaderThatCannotStartIsAnOpenFailureWithoutADescriptorLeft)
{
    ASSERT_TRUE(port.Connect()); // the port's own wake-up descriptor stays from here on
    port.Close();
    const int before = OpenDescriptors();
    SetReaderThreadStarter(&RefuseThread);
    EXPECT_FALSE(port.Connect());
    SetReaderThreadStarter(nullptr);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_NE(port.LastError().indexOf("поток чтения"), -1) << port.LastError().toStdString();
    EXPECT_EQ(uart.lines & (TIOCM_DTR | TIOCM_RTS), 0);
    ASSERT_TRUE(port.Connect()) << "the device is free for the next open";
}

} // namespace
} // namespace karvel
