#include "serial_status.h"

#include "tty_control.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace karvel {

namespace {

uint32_t Flag(uint32_t now, uint32_t before, uint32_t flag)
{
    return now != before ? flag : 0;
}

} // namespace

uint32_t TakeLineErrors(int fd, TLineErrorCounters& last)
{
    uint32_t flags = 0;
    ReadLineErrors(fd, last, flags);
    return flags;
}

bool ReadLineErrors(int fd, TLineErrorCounters& last, uint32_t& flags)
{
    flags = 0;
    serial_icounter_struct counters {};
    if (ioctl(fd, TIOCGICOUNT, &counters) != 0)
        return false;
    TLineErrorCounters now;
    now.frame = static_cast<uint32_t>(counters.frame);
    now.overrun = static_cast<uint32_t>(counters.overrun);
    now.parity = static_cast<uint32_t>(counters.parity);
    now.brk = static_cast<uint32_t>(counters.brk);
    now.bufOverrun = static_cast<uint32_t>(counters.buf_overrun);
    flags = Flag(now.frame, last.frame, CE_FRAME) | Flag(now.overrun, last.overrun, CE_OVERRUN) |
        Flag(now.parity, last.parity, CE_RXPARITY) | Flag(now.brk, last.brk, CE_BREAK) |
        Flag(now.bufOverrun, last.bufOverrun, CE_RXOVER);
    last = now;
    return true;
}

uint32_t InputQueueLength(int fd)
{
    int n = 0;
    return ioctl(fd, FIONREAD, &n) == 0 && n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t OutputQueueLength(int fd)
{
    int n = 0;
    return TtyControl().Ioctl(fd, TIOCOUTQ, &n) == 0 && n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t ModemStatus(int fd)
{
    int lines = 0;
    if (TtyControl().Ioctl(fd, TIOCMGET, &lines) != 0)
        return 0;
    return ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
        ((lines & TIOCM_RI) ? MS_RING_ON : 0) | ((lines & TIOCM_CD) ? MS_RLSD_ON : 0);
}

bool SetModemLine(int fd, int line, bool raised)
{
    return TtyControl().Ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

} // namespace karvel
