#pragma once
// Packed BCD as the terminals send it: least significant byte first, in each byte the
// low nibble is the lower digit. Nibbles are not validated: A..F count as 10..15.

#include <array>
#include <cstdint>
#include <span>

namespace karvel {

// Reads past the end of `buffer` count as 0 bytes.
int32_t BCD3B(std::span<const uint8_t> buffer, uint16_t offset);
// Ten digits: returned in 64 bits so that a counter above 2147483647 never wraps.
int64_t BCD5B(std::span<const uint8_t> buffer, uint16_t offset);
// Packs the six lowest decimal digits of `param` into three bytes.
void WordToBCD(uint32_t param, std::array<uint8_t, 3>& bcd3);

} // namespace karvel
