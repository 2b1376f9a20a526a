#include "tty_control.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <atomic>

namespace karvel {

namespace {

TTtyControl kernelLayer;
// Read by the reader threads as well: an atomic pointer keeps the swap in a test orderly.
std::atomic<TTtyControl*> current {&kernelLayer};

} // namespace

int TTtyControl::Ioctl(int fd, unsigned long request, void* arg)
{
    return ::ioctl(fd, request, arg);
}

TTtyControl& TtyControl()
{
    return *current.load(std::memory_order_acquire);
}

TScopedTtyControl::TScopedTtyControl(TTtyControl& layer) : previous_(current.exchange(&layer)) { }

TScopedTtyControl::~TScopedTtyControl()
{
    current.store(previous_);
}

bool DropModemLines(int fd)
{
    int lines = TIOCM_DTR | TIOCM_RTS;
    return TtyControl().Ioctl(fd, TIOCMBIC, &lines) == 0;
}

bool EnableRs485Mode(int fd)
{
    serial_rs485 rs485 {};
    if (TtyControl().Ioctl(fd, TIOCGRS485, &rs485) != 0)
        return false;
    rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    // The bus is half duplex: after the frame RTS drops so the terminal can answer, and
    // the port does not hear its own request.
    rs485.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND | SER_RS485_RX_DURING_TX);
    return TtyControl().Ioctl(fd, TIOCSRS485, &rs485) == 0;
}

} // namespace karvel
