// The port-configuration dialog of a serial port, on a pseudo-terminal.
#include "com_port.h"
#include "comm_dialog.h"
#include "modal.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace karvel {
namespace {

using test::WhenModal;

class CommDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        ASSERT_TRUE(QDir().mkpath(home.path() + "/Vistam/dosdevices"));
        char name[128] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ASSERT_TRUE(
            QFile::link(QString::fromLocal8Bit(name), home.path() + "/Vistam/dosdevices/com3"));
        port.SetComNumber(3);
    }
    void TearDown() override
    {
        port.Close();
        ::close(slave);
        ::close(master);
    }
    speed_t LineSpeed() const
    {
        termios tio {};
        tcgetattr(port.Handle(), &tio);
        return cfgetospeed(&tio);
    }

    QTemporaryDir home;
    int master = -1;
    int slave = -1;
    TComPort port;
};

TEST_F(CommDialogTest, ConfirmedSettingsGoIntoComPropAndOntoTheOpenLine)
{
    port.ComProp().SetBaudRate(TBaudRate::br19200);
    port.ComProp().SetByteSize(TByteSize::bs8);
    port.Open();
    ASSERT_TRUE(port.Connected());
    ASSERT_EQ(LineSpeed(), B19200);
    QString title;
    int shownRate = -1;
    WhenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<TCommConfigDlg*>(w);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        shownRate = dialog->BaudRate()->currentText().toInt();
        dialog->BaudRate()->setCurrentIndex(static_cast<int>(TBaudRate::br9600));
        dialog->Parity()->setCurrentIndex(static_cast<int>(TParity::ptEVEN));
        dialog->accept();
    });
    EXPECT_TRUE(CommDialog(nullptr, port));
    EXPECT_TRUE(title.endsWith("COM3"));
    EXPECT_EQ(shownRate, 19200);
    EXPECT_EQ(port.ComProp().BaudRate(), TBaudRate::br9600);
    EXPECT_EQ(port.ComProp().Parity(), TParity::ptEVEN);
    EXPECT_EQ(port.ComProp().ByteSize(), TByteSize::bs8);
    EXPECT_EQ(LineSpeed(), B9600);
}

TEST_F(CommDialogTest, CancelChangesNothing)
{
    port.ComProp().SetBaudRate(TBaudRate::br19200);
    WhenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<TCommConfigDlg*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->BaudRate()->setCurrentIndex(0);
        dialog->reject();
    });
    EXPECT_FALSE(CommDialog(nullptr, port));
    EXPECT_EQ(port.ComProp().BaudRate(), TBaudRate::br19200);
}

TEST_F(CommDialogTest, AClosedPortKeepsTheSettingsForItsNextOpen)
{
    TComProp prop;
    prop.SetBaudRate(TBaudRate::br9600);
    prop.SetByteSize(TByteSize::bs8);
    EXPECT_TRUE(ApplyCommSettings(port, prop));
    port.Open();
    ASSERT_TRUE(port.Connected());
    EXPECT_EQ(LineSpeed(), B9600);
}

} // namespace
} // namespace karvel
