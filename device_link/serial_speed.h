#pragma once
// The termios speed table by bit/s, shared by the serial port and the simulator.

#include <cstdint>
#include <termios.h>

namespace karvel {

// The termios speed constant of a rate in bit/s; 0 for rates the table lacks.
speed_t TableSpeed(uint32_t bitsPerSecond);

} // namespace karvel
