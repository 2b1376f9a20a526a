#pragma once
// The PortParam key of the store as the communication parameters window reads and writes
// it. Store errors are thrown as TStepError with the operator's text.

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace karvel {

class TConfigStore;

struct TPortParamValues {
    std::array<int32_t, 4> port {-1, -1, -1, -1}; // 0 = COM1 .. 8 = COM9, -1 none chosen
    std::array<int32_t, 4> speed {-1, -1, -1, -1}; // 0 = 9600, 1 = 19200, -1 none chosen
    bool soundStop = false;
    bool logWr = false;
    bool soundMode = false; // true: beeper
    QString soundFileName;
    // Kernel RS-485 mode per line; a store without these values reads as off.
    std::array<bool, 4> rs485 {false, false, false, false};
};

// Nothing when the key does not exist.
std::optional<TPortParamValues> ReadPortParam(const TConfigStore& store);
// Creates the key when missing and writes all twelve values, in the order of the key,
// then RS485L1 .. RS485L4.
void WritePortParam(TConfigStore& store, const TPortParamValues& values);

// The RS-485 mode of a line's port; a store without the value (older, or imported)
// reads as off.
bool ReadRs485(const TConfigStore& store, int line);

} // namespace karvel
