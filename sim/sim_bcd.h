#pragma once
// Packed BCD for the simulated terminals' answers: least significant byte first, low
// nibble the lower digit. Three-byte fields go through the terminal model's WordToBCD;
// the five-byte counters need ten digits.

#include <cstdint>
#include <span>

namespace karvel::sim {

// Packs the lowest 2 * out.size() decimal digits of `value` into `out`.
void PackBcd(uint64_t value, std::span<uint8_t> out);
// True when every nibble of `bytes` is a decimal digit.
bool IsDecimalBcd(std::span<const uint8_t> bytes);

} // namespace karvel::sim
