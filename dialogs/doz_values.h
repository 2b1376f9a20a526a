#pragma once
// The six dosing parameters as the operator edits them: their texts, the check and
// conversion of the texts into the integers the terminal takes, with no window involved.

#include "d_karvel.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace karvel {

constexpr int kDozRows = 6;

using TDozTexts = std::array<QString, kDozRows>;
using TDozRaw = std::array<uint32_t, kDozRows>;

// The outcome of converting the six texts: either all six device integers, or the first
// row (0-based) that failed and its status bar message.
struct TDozConversion {
    int failedRow = -1;
    QString message;
    TDozRaw raw {};
    bool Ok() const { return failedRow < 0; }
};

// A number as the operator may type it: "." as decimal mark whatever the locale, an
// optional sign and exponent, blanks around it. A comma, grouping, "inf" or "nan" fail.
std::optional<double> ParseDozNumber(const QString& text);

// The largest device integer each row can carry: six BCD digits, four for the two times.
uint32_t DozRowLimit(int row);
// Decimals each row is shown with, for a terminal with `weightDecimals` weight decimals.
// The two times are kept in tenths of a second, the limited dose one decimal finer than
// the weight, so every row shows its full resolution and a write without editing sends
// back exactly what was read.
int DozRowDecimals(int row, int weightDecimals);
// The status bar message of a row (with its leading and trailing blanks).
const QString& DozRowMessage(int row);

// The six values of `dosage` (engineering units) as the edits show them.
TDozTexts DozTexts(const TDosageStructure& dosage, int weightDecimals);

// Checks and converts the six texts in order; `divisor` is the terminal's weight divisor
// (10 to the power of its weight decimals). A row fails when its text is not a number or
// its rounded device integer is negative or more than the terminal can carry.
TDozConversion ConvertDozTexts(const TDozTexts& texts, double divisor);

// Puts the device integers into the terminal's record for the write request.
void StoreDozRaw(TDosageStructure& dosage, const TDozRaw& raw);

} // namespace karvel
