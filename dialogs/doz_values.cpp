#include "doz_values.h"

#include "fixed_text.h"

#include <QRegularExpression>

#include <cmath>

namespace karvel {

namespace {

constexpr int kTextPrecision = 12;
constexpr uint32_t kSixDigits = 999999;
constexpr uint32_t kFourDigits = 9999;

// Device integer = round(value x scale): the weights in units of their last decimal, the
// times in tenths of a second, the limited dose one decimal finer than the weights.
double RowScale(int row, double divisor)
{
    switch (row) {
    case 1:
    case 2:
        return 10;
    case 5:
        return divisor * 10;
    default:
        return divisor;
    }
}

} // namespace

std::optional<double> ParseDozNumber(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

uint32_t DozRowLimit(int row)
{
    return (row == 1 || row == 2) ? kFourDigits : kSixDigits;
}

int DozRowDecimals(int row, int weightDecimals)
{
    switch (row) {
    case 1:
    case 2:
        return 1;
    case 5:
        return weightDecimals + 1;
    default:
        return weightDecimals;
    }
}

const QString& DozRowMessage(int row)
{
    static const std::array<QString, kDozRows> messages = {
        QStringLiteral(" Ошибка ввода: \"Ёмкость ковша\" "),
        QStringLiteral(" Ошибка ввода: \"Время выдержки веса перед фиксацией показаний\" "),
        QStringLiteral("  Ошибка ввода: \"Время открытого состояния нижней заслонки\" "),
        QStringLiteral("  Ошибка ввода: \"Пороговый вес пустого ковша\" "),
        QStringLiteral("  Ошибка ввода: \"Величина заданной проиводительности (т/ч)\" "),
        QStringLiteral("  Ошибка ввода: \"Величина ограниченной суммы (доза)\" "),
    };
    return messages.at(static_cast<size_t>(row));
}

TDozTexts DozTexts(const TDosageStructure& dosage, int weightDecimals)
{
    const std::array<double, kDozRows> values = {dosage.TankageLadel, dosage.TVidergki,
                                                 dosage.TDampers,     dosage.WLadel,
                                                 dosage.Capacity,     dosage.OSigma};
    TDozTexts texts;
    for (int row = 0; row < kDozRows; ++row) {
        const std::string text = FixedText(values[static_cast<size_t>(row)],
                                           DozRowDecimals(row, weightDecimals), kTextPrecision);
        texts[static_cast<size_t>(row)] = QString::fromStdString(text);
    }
    return texts;
}

TDozConversion ConvertDozTexts(const TDozTexts& texts, double divisor)
{
    TDozConversion result;
    for (int row = 0; row < kDozRows; ++row) {
        const std::optional<double> value = ParseDozNumber(texts[static_cast<size_t>(row)]);
        // nearbyint rounds halves to the even neighbour in the default rounding mode.
        const double device = value ? std::nearbyint(*value * RowScale(row, divisor)) : -1;
        // A rounded -0.4 is -0, which the terminal carries as 0.
        if (!value || !(device >= 0) || device > DozRowLimit(row)) {
            result.failedRow = row;
            result.message = DozRowMessage(row);
            return result;
        }
        result.raw[static_cast<size_t>(row)] = static_cast<uint32_t>(device);
    }
    return result;
}

void StoreDozRaw(TDosageStructure& dosage, const TDozRaw& raw)
{
    dosage.TankageLadel = raw[0];
    dosage.TVidergki = raw[1];
    dosage.TDampers = raw[2];
    dosage.WLadel = raw[3];
    dosage.Capacity = raw[4];
    dosage.OSigma = raw[5];
}

} // namespace karvel
