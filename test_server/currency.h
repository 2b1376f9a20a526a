#pragma once

#include <QString>

#include <optional>

namespace karvel::server {

// The accounting interface's currency: the value times 10000 in a 64-bit integer.
using Currency = qint64;

// Converts a received double to currency, rounding half to even. Empty when the value
// is not a number or does not fit: such an argument does not convert.
std::optional<Currency> toCurrency(double value);

// The currency value divided by 10000 in general format: up to 15 significant digits,
// the given decimal separator, no thousands separator, no trailing zeros
// (1234.5 -> "1234,5" with a comma, 12 -> "12").
QString currencyText(Currency value, const QString& decimalPoint);

} // namespace karvel::server
