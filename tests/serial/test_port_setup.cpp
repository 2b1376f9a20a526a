// Port names, device files, exclusive opening, line settings applied to a real
// pseudo-terminal, the port list and the line status.
#include "com_port.h"
#include "serial_device.h"
#include "serial_line.h"
#include "serial_rate.h"
#include "serial_test_support.h"

#include <gtest/gtest.h>

#include <termios.h>

#include <filesystem>

namespace karvel {
namespace {

using test::PortLinks;
using test::PtyPair;

TEST(ComPortNames, PlatformNamesOfThePortNumber)
{
    struct Case {
        int number;
        const char* full;
        const char* shortName;
    };
    const Case cases[] = {{3, "\\\\.\\COM3", "COM3"},
                          {1, "\\\\.\\COM1", "COM1"},
                          {12, "\\\\.\\COM12", "COM12"},
                          {256, "\\\\.\\COM256", "COM256"}};
    for (const Case& c : cases) {
        TComPort port;
        port.SetComNumber(c.number);
        EXPECT_EQ(port.GetComName(true).toStdString(), c.full);
        EXPECT_EQ(port.GetComName(false).toStdString(), c.shortName);
    }
    EXPECT_EQ(std::string("\\\\.\\COM3").size(), 8u); // two backslashes, dot, backslash, COM3
}

TEST(ComPortNames, UserLinkWinsOverTheBuiltInDevice)
{
    PortLinks links;
    links.Link(4, "/dev/null");
    EXPECT_EQ(ComDevicePath(4), links.Path("Vistam/dosdevices/com4"));
    EXPECT_EQ(ComDevicePath(5), "/dev/ttyS4");
    EXPECT_EQ(ComDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(ComDevicePath(0), "");
    // A link whose device is missing still names the port: it must not fall back.
    links.Link(6, "/dev/does-not-exist-karvel");
    EXPECT_EQ(ComDevicePath(6), links.Path("Vistam/dosdevices/com6"));
}

TEST(ComPortDefaults, NewPortIsClosedWithItsDefaults)
{
    TComPort port;
    EXPECT_EQ(port.ComNumber(), 1);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.ReadActive());
    EXPECT_EQ(port.InBufSize(), 255u);
    EXPECT_EQ(port.TimeReceiveByte(), 90u);
    EXPECT_FALSE(port.PutClearEvents());
    EXPECT_EQ(port.Handle(), -1);
    port.SetReadActive(true); // no reader: no effect
    EXPECT_FALSE(port.ReadActive());
    const uint8_t byte = 1;
    EXPECT_FALSE(port.WriteBuffer(&byte, 1));
}

TEST(ComPortBuffer, InBufSizeIsTakenOnlyWhileClosedAndUsable)
{
    PortLinks links;
    PtyPair pty;
    links.Link(1, pty.SlavePath());
    TComPort port;
    const struct {
        uint32_t value;
        uint32_t expected;
    } closed[] = {{0, 255}, {1, 255}, {2, 2}, {64, 64}, {0, 64}};
    for (const auto& c : closed) {
        port.SetInBufSize(c.value);
        EXPECT_EQ(port.InBufSize(), c.expected) << c.value;
    }
    port.Open();
    ASSERT_TRUE(port.Connected());
    port.SetInBufSize(100);
    EXPECT_EQ(port.InBufSize(), 64u);
    port.Close();
    port.SetInBufSize(100);
    EXPECT_EQ(port.InBufSize(), 100u);
}

TEST(ComPortOpen, MissingOrBusyDeviceLeavesThePortClosed)
{
    PortLinks links;
    PtyPair pty;
    links.Link(2, pty.SlavePath());
    links.Link(3, "/dev/does-not-exist-karvel");
    links.Link(4, "/dev/null"); // exists but is no serial line

    TComPort missing;
    missing.SetComNumber(3);
    EXPECT_FALSE(missing.Connect());
    TComPort notATty;
    notATty.SetComNumber(4);
    EXPECT_FALSE(notATty.Connect());

    TComPort first, second;
    first.SetComNumber(2);
    second.SetComNumber(2);
    ASSERT_TRUE(first.Connect());
    EXPECT_FALSE(second.Connect()) << "the device is already in use";
    EXPECT_FALSE(second.ReadActive());
    first.Close();
    EXPECT_TRUE(second.Connect()) << "closing frees the device";
}

TEST(ComPortOpen, ConnectedPropertyOpensAndCloses)
{
    PortLinks links;
    PtyPair pty;
    links.Link(1, pty.SlavePath());
    TComPort port;
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(port.ReadActive()) << "the reader starts held";
    EXPECT_EQ(port.Timeouts().ReadIntervalTimeout, 20u);
    EXPECT_EQ(port.Timeouts().WriteTotalTimeoutMultiplier, 4u);
    EXPECT_EQ(port.Timeouts().WriteTotalTimeoutConstant, 20u);
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
}

// Applies every rate of the table to a pseudo-terminal and reads back what the kernel
// holds; 14400 and 56000 go through the arbitrary-rate interface.
TEST(ComPortLine, EveryTableRateReachesTheKernel)
{
    PortLinks links;
    PtyPair pty;
    links.Link(1, pty.SlavePath());
    for (int i = 0; i < kBaudRateCount; ++i) {
        TComPort port;
        port.ComProp().SetBaudRate(static_cast<TBaudRate>(i));
        port.ComProp().SetByteSize(TByteSize::bs8);
        ASSERT_TRUE(port.Connect());
        EXPECT_EQ(ReadLineRate(port.Handle()), BaudRateValue(static_cast<TBaudRate>(i)));
    }
}

TEST(ComPortLine, RecordMapsToTermiosFraming)
{
    struct Case {
        TByteSize size;
        TParity parity;
        TStopbits stop;
        uint32_t rate;
        bool ok;
        tcflag_t cflag;
        speed_t speed;
        uint32_t arbitrary;
    };
    const Case cases[] = {
        {TByteSize::bs8, TParity::ptNONE, TStopbits::sb1BITS, 19200, true, CS8, B19200, 0},
        {TByteSize::bs7, TParity::ptEVEN, TStopbits::sb2BITS, 9600, true, CS7 | PARENB | CSTOPB,
         B9600, 0},
        {TByteSize::bs6, TParity::ptODD, TStopbits::sb1BITS, 110, true, CS6 | PARENB | PARODD, B110,
         0},
        {TByteSize::bs8, TParity::ptMARK, TStopbits::sb1BITS, 14400, true,
         CS8 | PARENB | PARODD | CMSPAR, 0, 14400},
        {TByteSize::bs5, TParity::ptSPACE, TStopbits::sb1HALFBITS, 56000, true,
         CS5 | PARENB | CMSPAR | CSTOPB, 0, 56000},
        {TByteSize::bs9, TParity::ptNONE, TStopbits::sb1BITS, 19200, false, 0, 0, 0},
        {TByteSize::bs8, TParity::ptNONE, TStopbits::sb1HALFBITS, 19200, false, 0, 0, 0}};
    const tcflag_t mask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    for (const Case& c : cases) {
        TComProp prop;
        prop.SetByteSize(c.size);
        prop.SetParity(c.parity);
        prop.SetStopbits(c.stop);
        TDCB dcb = prop.DCB();
        dcb.BaudRate = c.rate;
        termios tio {};
        tio.c_cflag = CS8 | PARENB | CREAD; // something to overwrite
        cfsetspeed(&tio, B4800);
        const termios before = tio;
        uint32_t arbitrary = 99;
        ASSERT_EQ(DcbToTermios(dcb, tio, arbitrary), c.ok) << c.rate;
        if (!c.ok) {
            EXPECT_EQ(tio.c_cflag, before.c_cflag) << "a refused record changes nothing";
            continue;
        }
        EXPECT_EQ(tio.c_cflag & mask, c.cflag) << c.rate;
        EXPECT_NE(tio.c_cflag & CREAD, 0u);
        EXPECT_EQ(arbitrary, c.arbitrary);
        if (c.speed != 0) {
            EXPECT_EQ(cfgetospeed(&tio), c.speed);
        }
    }
}

// A pseudo-terminal keeps the speed and the stop bits but always works with 8 data bits
// and no parity, so only these and the raw mode can be checked on a real device here.
TEST(ComPortLine, RawModeAndStopBitsReachTheKernel)
{
    PortLinks links;
    PtyPair pty;
    links.Link(1, pty.SlavePath());
    for (const TStopbits stop : {TStopbits::sb2BITS, TStopbits::sb1BITS}) {
        TComPort port;
        port.ComProp().SetBaudRate(TBaudRate::br19200);
        port.ComProp().SetByteSize(TByteSize::bs8);
        port.ComProp().SetStopbits(stop);
        ASSERT_TRUE(port.Connect());
        termios tio {};
        ASSERT_EQ(tcgetattr(port.Handle(), &tio), 0);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, stop == TStopbits::sb2BITS);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u) << "raw mode";
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INPCK | ISTRIP), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
        EXPECT_NE(tio.c_cflag & CREAD, 0u);
        EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
    }
}

TEST(ComPortLine, SettingsTheLineCannotTakeKeepThePreviousOnes)
{
    PortLinks links;
    PtyPair pty;
    links.Link(1, pty.SlavePath());
    {
        TComPort port;
        port.ComProp().SetBaudRate(TBaudRate::br9600);
        port.ComProp().SetByteSize(TByteSize::bs8);
        ASSERT_TRUE(port.Connect());
    }
    TComPort port;
    port.ComProp().SetBaudRate(TBaudRate::br57600);
    port.ComProp().SetByteSize(TByteSize::bs9); // a tty has no 9-bit characters
    ASSERT_TRUE(port.Connect()) << "the port opens all the same";
    EXPECT_EQ(ReadLineRate(port.Handle()), 9600u);
    termios tio {};
    ASSERT_EQ(tcgetattr(port.Handle(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
}

TEST(ComPortList, ListsPortsWhoseDeviceExistsWithTheirByIdName)
{
    PortLinks links;
    PtyPair pty1, pty2;
    const std::string byId = links.Path("by-id");
    std::filesystem::create_directories(byId);
    std::filesystem::create_symlink(pty1.SlavePath(), byId + "/usb-Karvel_Test_Adapter-if00-port0");
    links.Link(201, byId + "/usb-Karvel_Test_Adapter-if00-port0");
    links.Link(202, pty2.SlavePath());
    links.Link(203, "/dev/does-not-exist-karvel");

    const QStringList plain = ListComPorts(false, byId);
    EXPECT_TRUE(plain.contains("COM201"));
    EXPECT_TRUE(plain.contains("COM202"));
    EXPECT_FALSE(plain.contains("COM203"));
    const QStringList described = ListComPorts(true, byId);
    EXPECT_TRUE(described.contains("COM201 usb-Karvel_Test_Adapter-if00-port0"));
    EXPECT_TRUE(described.contains("COM202"));
    EXPECT_FALSE(described.filter("COM203").size());

    QStringList appended {"keep"};
    TComPort::EnumComPorts(appended);
    EXPECT_EQ(appended.first(), "keep");
    EXPECT_TRUE(appended.contains("COM202"));
    for (const QString& name : appended.mid(1))
        EXPECT_TRUE(name.startsWith("COM")) << name.toStdString();
    QStringList ex;
    TComPort::EnumComPortsEx(ex);
    EXPECT_TRUE(ex.contains("COM202"));
}

TEST(ComPortState, ReportsQueuedInputAndNoLineErrorsOnACleanLine)
{
    PortLinks links;
    PtyPair pty;
    links.Link(1, pty.SlavePath());
    TComPort port;
    uint32_t errors = 99;
    EXPECT_EQ(port.GetState(errors).cbInQue, 0u);
    EXPECT_EQ(errors, 0u);
    ASSERT_TRUE(port.Connect());
    pty.Send({1, 2, 3});
    ASSERT_TRUE(test::PumpUntil([&] { return port.GetState(errors).cbInQue == 3; }))
        << "the held reader leaves the bytes in the queue";
    EXPECT_EQ(errors, 0u);
    // Modem lines: a pseudo-terminal has none; the calls must still be harmless.
    port.ToggleDTR(true);
    port.ToggleRTS(false);
    EXPECT_EQ(port.GetModemState() & ~(MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON), 0u);
}

TEST(ComPortWrite, WriteDiscardsPendingInputAndSendsExactBytes)
{
    PortLinks links;
    PtyPair pty;
    links.Link(1, pty.SlavePath());
    TComPort port;
    ASSERT_TRUE(port.Connect());
    pty.Send({9, 9, 9});
    uint32_t errors = 0;
    ASSERT_TRUE(test::PumpUntil([&] { return port.GetState(errors).cbInQue == 3; }));
    const std::vector<uint8_t> frame = {0xFF, 0x05, 0xC8, 0x01, 0xDD, 0xFF, 0xFF, 0x0A, 0x0D, 0x00};
    EXPECT_TRUE(port.WriteBuffer(frame.data(), static_cast<uint16_t>(frame.size())));
    EXPECT_EQ(port.GetState(errors).cbInQue, 0u) << "unread input is discarded";
    EXPECT_EQ(pty.Receive(frame.size(), 2000), frame) << "raw output: no translation";
}

} // namespace
} // namespace karvel
