#pragma once
// Texts of the simulator's trace and record: raw terminal numbers with their decimals and
// byte dumps.

#include <cstdint>
#include <span>
#include <string>

namespace karvel::sim {

// 12345 with 2 decimals -> "123.45"; -5 with 2 -> "-0.05"; "." whatever the locale.
std::string RawText(int64_t raw, int decimals);
// "05 C3 45"
std::string HexBytes(std::span<const uint8_t> bytes);

} // namespace karvel::sim
