// The devices offered for a port number and the links written for it, against a fake
// /dev/serial/by-id folder whose names lead to pseudo-terminals.
#include "port_links.h"
#include "qstring_print.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace karvel {
namespace {

// A pseudo-terminal whose slave end stands for an adapter's tty.
class Pty {
public:
    Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = QString::fromLocal8Bit(ptsname(master_));
    }
    ~Pty()
    {
        if (master_ >= 0)
            close(master_);
    }
    const QString& Slave() const { return slave_; }

private:
    int master_;
    QString slave_;
};

class PortLinks : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_FALSE(ftdi.Slave().isEmpty());
        ASSERT_FALSE(other.Slave().isEmpty());
        previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        ASSERT_TRUE(QDir().mkpath(byId()));
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", previous); }
    QString byId() const { return home.filePath("by-id"); }
    void Name(const QString& name, const QString& target) const
    {
        ASSERT_TRUE(QFile::link(target, byId() + "/" + name));
    }

    QTemporaryDir home;
    QByteArray previous;
    Pty ftdi;
    Pty other;
};

TEST_F(PortLinks, PortsAreOfferedUnderTheirByIdNamesWithMakerAndSerialNumber)
{
    const QString ftdiName = "usb-FTDI_FT232R_USB_UART_A10KZ3Q1-if00-port0";
    const QString otherName = "usb-1a86_USB2.0-Ser_-if00-port0";
    Name(ftdiName, ftdi.Slave());
    Name(otherName, other.Slave());
    const QList<TSerialPortEntry> ports = {
        {ftdi.Slave(), "FTDI", "A10KZ3Q1", "FT232R USB UART"},
        {"/dev/ttyS3", "", "", ""}, // an on-board port: no by-id name
    };
    const QList<TPortDevice> devices = PortDevices(ports, byId());
    ASSERT_EQ(devices.size(), 3);

    auto find = [&](const QString& target) -> const TPortDevice* {
        for (const TPortDevice& d : devices)
            if (d.linkTarget == target)
                return &d;
        return nullptr;
    };
    // The link goes to the by-id name, which stays with the adapter when it is plugged in
    // again and its tty number changes.
    const TPortDevice* adapter = find(byId() + "/" + ftdiName);
    ASSERT_NE(adapter, nullptr);
    EXPECT_TRUE(adapter->label.startsWith(ftdiName)) << adapter->label.toStdString();
    EXPECT_TRUE(adapter->label.contains("FTDI")) << adapter->label.toStdString();
    EXPECT_TRUE(adapter->label.contains("№ A10KZ3Q1")) << adapter->label.toStdString();
    EXPECT_TRUE(adapter->label.contains(ftdi.Slave())) << adapter->label.toStdString();

    const TPortDevice* onBoard = find("/dev/ttyS3");
    ASSERT_NE(onBoard, nullptr);
    EXPECT_EQ(onBoard->label, "/dev/ttyS3");

    // A by-id name that no listed port matched is still offered.
    const TPortDevice* unlisted = find(byId() + "/" + otherName);
    ASSERT_NE(unlisted, nullptr);
    EXPECT_EQ(unlisted->label, otherName);
}

TEST_F(PortLinks, AMissingByIdFolderOffersThePortsByTheirOwnNames)
{
    const QList<TPortDevice> devices =
        PortDevices({{ftdi.Slave(), "FTDI", "", ""}}, home.filePath("no-such-folder"));
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices[0].linkTarget, ftdi.Slave());
    EXPECT_EQ(devices[0].label, ftdi.Slave() + " (FTDI)");
}

TEST_F(PortLinks, TheLinkIsWrittenReplacedAndRemoved)
{
    EXPECT_EQ(PortDeviceText(2), "/dev/ttyS1") << "no link: the on-board port";
    QString error;
    ASSERT_TRUE(WritePortLink(2, ftdi.Slave(), error)) << error.toStdString();
    const QString link = home.filePath("Vistam/dosdevices/com2");
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), ftdi.Slave());
    EXPECT_EQ(PortDeviceText(2), ftdi.Slave());

    ASSERT_TRUE(WritePortLink(2, other.Slave(), error)) << error.toStdString();
    EXPECT_EQ(PortDeviceText(2), other.Slave());
    EXPECT_FALSE(QFileInfo::exists(link + ".new")) << "no temporary left behind";

    ASSERT_TRUE(WritePortLink(2, QString(), error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_EQ(PortDeviceText(2), "/dev/ttyS1");
}

TEST_F(PortLinks, ALinkThatCannotBeWrittenIsAnErrorNamingIt)
{
    // A folder where the link should go: it cannot be replaced by a link.
    ASSERT_TRUE(QDir().mkpath(home.filePath("Vistam/dosdevices/com4")));
    QString error;
    EXPECT_FALSE(WritePortLink(4, ftdi.Slave(), error));
    EXPECT_TRUE(error.contains("com4")) << error.toStdString();
}

} // namespace
} // namespace karvel
