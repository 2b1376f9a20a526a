#include "sim_text.h"

#include <cstdio>

namespace karvel::sim {

std::string RawText(int64_t raw, int decimals)
{
    const bool negative = raw < 0;
    std::string digits = std::to_string(negative ? -raw : raw);
    if (decimals > 0) {
        if (static_cast<int>(digits.size()) <= decimals)
            digits.insert(0, static_cast<size_t>(decimals) - digits.size() + 1, '0');
        digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
    }
    return negative ? "-" + digits : digits;
}

std::string HexBytes(std::span<const uint8_t> bytes)
{
    std::string text;
    char hex[4];
    for (const uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        if (!text.empty())
            text += ' ';
        text += hex;
    }
    return text;
}

} // namespace karvel::sim
