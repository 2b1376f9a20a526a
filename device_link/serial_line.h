#pragma once
// Line settings of an open tty: raw mode and the line-settings record.

#include "com_prop.h"

#include <termios.h>

namespace karvel {

// Raw bytes in both directions, receiver on, modem control lines ignored, no flow
// control, reads that never wait (the reader waits in poll instead).
bool ApplyRawMode(int fd);

// Speed, data bits, parity and stop bits of `dcb`. A record the line cannot take (9 data
// bits, 1.5 stop bits with more than 5 data bits, a speed the kernel refuses) changes
// nothing and gives false; the line keeps its raw mode and its previous settings.
bool ApplyDcb(int fd, const TDCB& dcb);

// The part of ApplyDcb that needs no device: puts data bits, parity, stop bits and, for
// rates of the termios table, the speed into `tio`. `arbitraryRate` receives the rate
// when the table lacks it (it is then set through the kernel's arbitrary-rate interface),
// 0 otherwise. False, with `tio` unchanged, for a record the line cannot take.
bool DcbToTermios(const TDCB& dcb, termios& tio, uint32_t& arbitraryRate);

} // namespace karvel
