#pragma once
// The 8-bit checksum of the terminal link: polynomial 69 hex in augmented-message form.
// Run over data followed by one 00 byte it gives the checksum a sender appends; run over
// data followed by the received checksum it gives 0 for an intact frame.

#include <cstdint>

namespace karvel {

// Shifts one byte into the register, most significant bit first.
constexpr uint8_t Crc8Step(uint8_t reg, uint8_t byte)
{
    for (int bit = 7; bit >= 0; --bit) {
        const bool top = (reg & 0x80) != 0;
        reg = static_cast<uint8_t>((reg << 1) | ((byte >> bit) & 1));
        if (top)
            reg ^= 0x69;
    }
    return reg;
}

// The same register, a byte at a time: after shifting in a message M the register holds
// M mod G, so shifting in one more byte b gives Table[reg] ^ b.
struct Crc8Table {
    uint8_t shifted[256] = {};
    constexpr Crc8Table()
    {
        for (int reg = 0; reg < 256; ++reg)
            shifted[reg] = Crc8Step(static_cast<uint8_t>(reg), 0);
    }
};
inline constexpr Crc8Table kCrc8Table {};

constexpr uint8_t Crc8Shift(uint8_t reg, uint8_t byte)
{
    return kCrc8Table.shifted[reg] ^ byte;
}

// Checksum over inputData[offset] .. inputData[offset + bytesNumber - 1]. The end index is
// formed in 8 bits: when it falls below `offset`, or there is no byte, the result is 0.
constexpr uint8_t CRCMaker(const uint8_t* inputData, uint8_t bytesNumber, uint8_t offset)
{
    const uint8_t last = static_cast<uint8_t>(offset + bytesNumber - 1);
    if (bytesNumber == 0 || last < offset)
        return 0;
    uint8_t reg = 0;
    for (int i = offset; i <= last; ++i)
        reg = Crc8Shift(reg, inputData[i]);
    return reg;
}

// The checksum a sender appends to `size` data bytes.
constexpr uint8_t Crc8OfData(const uint8_t* data, int size)
{
    uint8_t reg = 0;
    for (int i = 0; i < size; ++i)
        reg = Crc8Shift(reg, data[i]);
    return Crc8Shift(reg, 0);
}

} // namespace karvel
