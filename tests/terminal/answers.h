#pragma once
// Builds terminal answers as the framing delivers them: a 255-byte buffer, network
// number, answer code, data.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace karvel::test {

using Answer = std::array<uint8_t, 255>;

inline Answer MakeAnswer(uint8_t net, uint8_t code, std::initializer_list<uint8_t> data = {})
{
    Answer a {};
    a[0] = net;
    a[1] = code;
    std::size_t i = 2;
    for (uint8_t b : data)
        a[i++] = b;
    return a;
}

// A counter answer with a value of up to ten digits, packed least significant byte first.
inline Answer CounterAnswer(uint8_t net, uint8_t number, uint64_t value)
{
    Answer a = MakeAnswer(net, 0xC8, {number});
    for (int i = 0; i < 5; ++i) {
        const unsigned low = value % 10;
        const unsigned high = (value / 10) % 10;
        a[static_cast<std::size_t>(3 + i)] = static_cast<uint8_t>(high << 4 | low);
        value /= 100;
    }
    return a;
}

} // namespace karvel::test
