#include "currency.h"

#include <cmath>
#include <string>

namespace karvel::server {
namespace {

constexpr int kScaleDigits = 4; // currency keeps four decimals
constexpr int kSignificantDigits = 15; // the general format shows at most this many
constexpr double kTwoTo63 = 9223372036854775808.0;

quint64 powerOfTen(int n)
{
    quint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

} // namespace

std::optional<Currency> toCurrency(double value)
{
    // nearbyint rounds in the default mode, to nearest with ties to even.
    const double scaled = std::nearbyint(value * 10000.0);
    if (!(scaled >= -kTwoTo63 && scaled < kTwoTo63)) // also false for NaN
        return std::nullopt;
    return static_cast<Currency>(scaled);
}

QString currencyText(Currency value, const QString& decimalPoint)
{
    const bool negative = value < 0;
    // Unsigned negation also covers the most negative value.
    quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);

    int fractionDigits = kScaleDigits;
    const int integerDigits = int(std::to_string(magnitude / powerOfTen(kScaleDigits)).size());
    const bool integerIsZero = magnitude < powerOfTen(kScaleDigits);
    if (!integerIsZero && integerDigits + kScaleDigits > kSignificantDigits) {
        // Too many digits: round the exact decimal half away from zero to 15 significant
        // digits. The integer part of a 64-bit currency has at most 15 digits, so only
        // decimals are dropped and the carry cannot add a sixteenth digit.
        fractionDigits = std::max(0, kSignificantDigits - integerDigits);
        const quint64 unit = powerOfTen(kScaleDigits - fractionDigits);
        const quint64 rest = magnitude % unit;
        magnitude = magnitude / unit + (rest >= unit - rest ? 1 : 0);
    }

    const quint64 fractionUnit = powerOfTen(fractionDigits);
    QString text = negative ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / fractionUnit);
    if (fractionDigits > 0) {
        QString fraction =
            QString::number(magnitude % fractionUnit).rightJustified(fractionDigits, u'0');
        while (fraction.endsWith(u'0'))
            fraction.chop(1);
        if (!fraction.isEmpty())
            text += decimalPoint + fraction;
    }
    return text;
}

} // namespace karvel::server
