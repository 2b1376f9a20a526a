#include "fixed_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace karvel {

namespace {

constexpr int kMaxDigits = 40;

// Decimal digits of |value| to `precision` significant digits: digits[0..precision) and
// the exponent of the first digit.
int SignificantDigits(double value, int precision, char* digits)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text - 1, std::fabs(value),
                                   std::chars_format::scientific, precision - 1)
                         .ptr;
    *end = '\0';
    int n = 0;
    const char* p = text;
    for (; *p != '\0' && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits[n++] = *p;
    }
    return (*p == 'e') ? std::atoi(p + 1) : 0;
}

} // namespace

void FixedText(double value, int decimals, int precision, std::string& out)
{
    out.clear();
    if (!std::isfinite(value)) {
        out = std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
        return;
    }
    precision = std::clamp(precision, 1, 18);
    decimals = std::clamp(decimals, 0, 18);

    char significant[kMaxDigits] = {};
    const int exponent = (value == 0.0) ? 0 : SignificantDigits(value, precision, significant);
    if (value == 0.0)
        std::fill_n(significant, precision, '0');

    if (exponent + 1 + decimals >= kMaxDigits) {
        // Far beyond any terminal value: plain formatting is good enough.
        char text[400];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        out = text;
        return;
    }
    // The whole number scaled by 10^decimals, as digits; position i has weight
    // 10^(exponent - i) before scaling.
    const int keep = exponent + 1 + decimals; // digits kept before rounding
    char digits[kMaxDigits * 2] = {};
    int count = 0;
    if (keep > 0) {
        for (int i = 0; i < keep; ++i)
            digits[count++] = (i < precision) ? significant[i] : '0';
    }
    const bool roundUp = keep >= 0 && keep < precision && significant[keep] >= '5';
    if (roundUp) {
        int i = count - 1;
        for (; i >= 0 && digits[i] == '9'; --i)
            digits[i] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            std::copy_backward(digits, digits + count, digits + count + 1);
            digits[0] = '1';
            ++count;
        }
    }
    // Left-pad so that there is at least one digit before the decimal point.
    const int minimum = decimals + 1;
    if (count < minimum) {
        const int pad = minimum - count;
        std::copy_backward(digits, digits + count, digits + minimum);
        std::fill_n(digits, pad, '0');
        count = minimum;
    }
    const bool zero = std::all_of(digits, digits + count, [](char c) { return c == '0'; });
    if (value < 0 && !zero)
        out.push_back('-');
    out.append(digits, static_cast<size_t>(count - decimals));
    if (decimals > 0) {
        out.push_back('.');
        out.append(digits + count - decimals, static_cast<size_t>(decimals));
    }
}

std::string FixedText(double value, int decimals, int precision)
{
    std::string out;
    FixedText(value, decimals, precision, out);
    return out;
}

} // namespace karvel
