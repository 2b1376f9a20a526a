#pragma once
// Line speeds outside the termios speed table (14400 and 56000 bit/s) go through the
// kernel's arbitrary-rate interface. Kept apart because its header cannot live in the
// same translation unit as <termios.h>.

#include <cstdint>

namespace karvel {

// Sets input and output speed of an open tty to any rate; false when the kernel refuses.
bool SetArbitraryLineRate(int fd, uint32_t bitsPerSecond);
// The output speed the kernel holds for the tty in bit/s; 0 when it cannot be read.
uint32_t ReadLineRate(int fd);

} // namespace karvel
