#include "com_prop.h"

#include <algorithm>
#include <array>

namespace karvel {

namespace {

constexpr std::array<uint32_t, kBaudRateCount> kRates = {
    110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};

// An ordinal from a record field, limited to the enumeration's last value.
template <typename E> E Ordinal(int value, E last)
{
    return static_cast<E>(std::clamp(value, 0, static_cast<int>(last)));
}

} // namespace

uint32_t BaudRateValue(TBaudRate rate)
{
    return kRates.at(static_cast<size_t>(rate));
}

bool BaudRateFromValue(uint32_t bitsPerSecond, TBaudRate& rate)
{
    const auto it = std::find(kRates.begin(), kRates.end(), bitsPerSecond);
    if (it == kRates.end())
        return false;
    rate = static_cast<TBaudRate>(it - kRates.begin());
    return true;
}

TDCB TComProp::DCB() const
{
    TDCB dcb;
    dcb.BaudRate = BaudRateValue(FBaudRate);
    dcb.Flags = TDCB::fBinary;
    dcb.ByteSize = static_cast<uint8_t>(static_cast<int>(FByteSize) + 5);
    dcb.Parity = static_cast<uint8_t>(FParity);
    dcb.StopBits = static_cast<uint8_t>(FStopbits);
    return dcb;
}

void TComProp::SetDCB(const TDCB& dcb)
{
    if (!BaudRateFromValue(dcb.BaudRate, FBaudRate))
        FBaudRate = TBaudRate::br110;
    FByteSize = Ordinal(static_cast<int>(dcb.ByteSize) - 5, TByteSize::bs9);
    FParity = Ordinal(dcb.Parity, TParity::ptSPACE);
    FStopbits = Ordinal(dcb.StopBits, TStopbits::sb2BITS);
}

} // namespace karvel
