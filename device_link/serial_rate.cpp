#include "serial_rate.h"

// <asm/termbits.h> defines its own struct termios; nothing here may include <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace karvel {

bool SetArbitraryLineRate(int fd, uint32_t bitsPerSecond)
{
    struct termios2 tio { };
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    // BOTHER takes the rate from c_ospeed; the input-speed bits left at 0 make the
    // input speed follow the output speed.
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER;
    tio.c_ospeed = bitsPerSecond;
    tio.c_ispeed = bitsPerSecond;
    if (ioctl(fd, TCSETS2, &tio) != 0)
        return false;
    return ReadLineRate(fd) == bitsPerSecond;
}

uint32_t ReadLineRate(int fd)
{
    struct termios2 tio { };
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}

} // namespace karvel
