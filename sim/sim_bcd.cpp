#include "sim_bcd.h"

namespace karvel::sim {

void PackBcd(uint64_t value, std::span<uint8_t> out)
{
    for (auto& byte : out) {
        const auto low = static_cast<uint8_t>(value % 10);
        const auto high = static_cast<uint8_t>((value / 10) % 10);
        byte = static_cast<uint8_t>((high << 4) | low);
        value /= 100;
    }
}

bool IsDecimalBcd(std::span<const uint8_t> bytes)
{
    for (const uint8_t b : bytes) {
        if ((b & 0x0F) > 9 || (b >> 4) > 9)
            return false;
    }
    return true;
}

} // namespace karvel::sim
