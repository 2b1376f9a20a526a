#include "serial_line.h"

#include "serial_rate.h"
#include "serial_speed.h"

namespace karvel {

namespace {

bool DataBits(uint8_t byteSize, tcflag_t& flags)
{
    switch (byteSize) {
    case 5:
        flags = CS5;
        return true;
    case 6:
        flags = CS6;
        return true;
    case 7:
        flags = CS7;
        return true;
    case 8:
        flags = CS8;
        return true;
    default:
        return false; // a tty has no 9-bit characters
    }
}

bool ParityBits(uint8_t parity, tcflag_t& flags)
{
    switch (static_cast<TParity>(parity)) {
    case TParity::ptNONE:
        flags = 0;
        return true;
    case TParity::ptODD:
        flags = PARENB | PARODD;
        return true;
    case TParity::ptEVEN:
        flags = PARENB;
        return true;
    case TParity::ptMARK:
        flags = PARENB | CMSPAR | PARODD;
        return true;
    case TParity::ptSPACE:
        flags = PARENB | CMSPAR;
        return true;
    }
    return false;
}

bool StopBits(uint8_t stopBits, uint8_t byteSize, tcflag_t& flags)
{
    switch (static_cast<TStopbits>(stopBits)) {
    case TStopbits::sb1BITS:
        flags = 0;
        return true;
    // A UART sends 1.5 stop bits when two are asked for with 5-bit characters; with longer
    // characters 1.5 stop bits do not exist.
    case TStopbits::sb1HALFBITS:
        flags = CSTOPB;
        return byteSize == 5;
    case TStopbits::sb2BITS:
        flags = CSTOPB;
        return true;
    }
    return false;
}

} // namespace

bool ApplyRawMode(int fd)
{
    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool DcbToTermios(const TDCB& dcb, termios& tio, uint32_t& arbitraryRate)
{
    tcflag_t size = 0, parity = 0, stop = 0;
    if (!DataBits(dcb.ByteSize, size) || !ParityBits(dcb.Parity, parity) ||
        !StopBits(dcb.StopBits, dcb.ByteSize, stop))
        return false;
    termios result = tio;
    result.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    result.c_cflag |= size | parity | stop;
    const speed_t speed = TableSpeed(dcb.BaudRate);
    if (speed != 0 && cfsetspeed(&result, speed) != 0)
        return false;
    arbitraryRate = speed == 0 ? dcb.BaudRate : 0;
    tio = result;
    return true;
}

bool ApplyDcb(int fd, const TDCB& dcb)
{
    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    const termios previous = tio;
    uint32_t arbitraryRate = 0;
    if (!DcbToTermios(dcb, tio, arbitraryRate) || tcsetattr(fd, TCSANOW, &tio) != 0)
        return false;
    if (arbitraryRate != 0 && !SetArbitraryLineRate(fd, arbitraryRate)) {
        tcsetattr(fd, TCSANOW, &previous); // all or nothing, as for a refused record
        return false;
    }
    return true;
}

} // namespace karvel
