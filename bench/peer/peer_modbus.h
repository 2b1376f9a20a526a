#pragma once
// The libmodbus side: an RTU master reading three holding registers from a libmodbus
// slave that this benchmark starts in a child process on the far end of a pty pair.

#include "peer_result.h"

namespace karvel::peer {

TRunResult RunModbus(int exchanges, bool paced, int baud);

} // namespace karvel::peer
