#pragma once
// The line keys of the store as the line composition editor reads and writes them.
// Store errors are thrown as TStepError with the operator's text.

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace karvel {

class TConfigStore;

struct TLineSlotTexts {
    QString netNum; // as the grid shows it, in decimal
    QString product;
};

struct TLineComposition {
    bool terminalType = false; // true: KR-100
    std::array<TLineSlotTexts, 30> rows;
};

// Nothing when the key of line `line` (1..4) does not exist.
std::optional<TLineComposition> LoadLineComposition(const TConfigStore& store, int line);

// Writes TerminalType, then NetNum and NameP of each slot in order, into the existing
// key of `line`; a key that does not exist is left alone (false). A network number that
// is not an integer stops the save at that slot with the conversion error: the values
// written before it stay written.
bool SaveLineComposition(TConfigStore& store, int line, const TLineComposition& composition);

// A decimal integer as the grid holds it (blanks around it allowed); nothing when it is
// not one or does not fit 32 bits.
std::optional<int32_t> ParseNetNum(const QString& text);
QString NotAnIntegerText(const QString& text);

} // namespace karvel
