#pragma once
// Line settings of a serial port and their conversion to and from the line-settings
// record (the DCB) that the port applies to the device when it opens.

#include <cstdint>

namespace karvel {

enum class TBaudRate : uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200
};
enum class TByteSize : uint8_t { bs5, bs6, bs7, bs8, bs9 }; // data bits = ordinal + 5
enum class TParity : uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum class TStopbits : uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };

constexpr int kBaudRateCount = 13;
// Bit/s of each TBaudRate, in the order of the enumeration.
uint32_t BaudRateValue(TBaudRate rate);
// Exact match in the table; false when the rate is not one of the thirteen.
bool BaudRateFromValue(uint32_t bitsPerSecond, TBaudRate& rate);

// The line-settings record: only the fields the port uses. The flow-control limits and
// special characters of the record are always 0 and are not kept.
struct TDCB {
    static constexpr uint32_t kLength = 28;
    static constexpr uint32_t fBinary = 0x0001; // the only flag a TComProp ever sets

    uint32_t DCBlength = kLength;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
};

class TComProp {
public:
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate value) { FBaudRate = value; }
    TByteSize ByteSize() const { return FByteSize; }
    void SetByteSize(TByteSize value) { FByteSize = value; }
    TParity Parity() const { return FParity; }
    void SetParity(TParity value) { FParity = value; }
    TStopbits Stopbits() const { return FStopbits; }
    void SetStopbits(TStopbits value) { FStopbits = value; }

    // Binary mode only: no parity check, no flow control, DTR and RTS inactive.
    TDCB DCB() const;
    // A rate outside the table reads as br110; sizes and codes out of range are clamped
    // to the last value of their enumeration rather than stored as invalid ordinals.
    void SetDCB(const TDCB& dcb);

private:
    TBaudRate FBaudRate = TBaudRate::br110;
    TByteSize FByteSize = TByteSize::bs5;
    TParity FParity = TParity::ptNONE;
    TStopbits FStopbits = TStopbits::sb1BITS;
};

} // namespace karvel
