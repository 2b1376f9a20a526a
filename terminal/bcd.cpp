#include "bcd.h"

namespace karvel {

namespace {

int64_t PackedValue(std::span<const uint8_t> buffer, uint16_t offset, int bytes)
{
    int64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        const size_t index = size_t {offset} + static_cast<size_t>(i);
        const uint8_t b = index < buffer.size() ? buffer[index] : 0;
        value = value * 100 + (b >> 4) * 10 + (b & 0x0F);
    }
    return value;
}

} // namespace

int32_t BCD3B(std::span<const uint8_t> buffer, uint16_t offset)
{
    return static_cast<int32_t>(PackedValue(buffer, offset, 3));
}

int64_t BCD5B(std::span<const uint8_t> buffer, uint16_t offset)
{
    return PackedValue(buffer, offset, 5);
}

void WordToBCD(uint32_t param, std::array<uint8_t, 3>& bcd3)
{
    for (auto& byte : bcd3) {
        const uint32_t low = param % 10;
        const uint32_t high = (param / 10) % 10;
        byte = static_cast<uint8_t>((high << 4) | low);
        param /= 100;
    }
}

} // namespace karvel
