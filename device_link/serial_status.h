#pragma once
// Line status of an open tty: line errors since the last query, queue lengths, modem lines.

#include <cstdint>

namespace karvel {

// Line-error flags in the platform's codes.
constexpr uint32_t CE_RXOVER = 0x0001, CE_OVERRUN = 0x0002, CE_RXPARITY = 0x0004, CE_FRAME = 0x0008,
                   CE_BREAK = 0x0010;
// Modem-status flags in the platform's codes.
constexpr uint32_t MS_CTS_ON = 0x0010, MS_DSR_ON = 0x0020, MS_RING_ON = 0x0040, MS_RLSD_ON = 0x0080;

// The device status the port reports with its line errors.
struct TComStat {
    uint32_t Flags = 0; // hold reasons; a tty has none to report
    uint32_t cbInQue = 0; // received bytes not yet read
    uint32_t cbOutQue = 0; // bytes not yet sent
};

// The kernel's running error counters of a line. Errors "since the last query" are the
// difference to a snapshot the caller keeps; ttys without counters (pseudo-terminals)
// report none.
struct TLineErrorCounters {
    uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};

// Reads the counters into `now` and returns the flags of the errors counted since `last`;
// `last` becomes `now`. Does not allocate.
uint32_t TakeLineErrors(int fd, TLineErrorCounters& last);
// As TakeLineErrors, but false (and no flags) when the device keeps no counters.
bool ReadLineErrors(int fd, TLineErrorCounters& last, uint32_t& flags);
// Bytes waiting in the receive queue (0 on failure).
uint32_t InputQueueLength(int fd);
uint32_t OutputQueueLength(int fd);
uint32_t ModemStatus(int fd);
bool SetModemLine(int fd, int line, bool raised);

} // namespace karvel
