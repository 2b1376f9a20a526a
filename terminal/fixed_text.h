#pragma once
// Number texts of the program: fixed-point, "." as the decimal separator whatever the
// locale, no grouping, rounded half away from zero, "-" only for a non-zero result.

#include <string>

namespace karvel {

// `value` is first taken to `precision` significant digits, then rounded to `decimals`.
std::string FixedText(double value, int decimals, int precision);
// Writes into `out`, reusing its storage.
void FixedText(double value, int decimals, int precision, std::string& out);

constexpr int kCounterPrecision = 12;
constexpr int kWeightPrecision = 6;

} // namespace karvel
