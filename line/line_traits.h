#pragma once
// What differs between the four line windows. Everything else about a line is the same
// design, so one class serves all four, parameterised by one row of this table.

#include <string>

namespace karvel {

struct TLineTraits {
    int number; // 1..4
    const char* caption; // window caption
    const char* portMessage; // shown when the port does not open
    int left, top; // initial window position
    const char* releaseCaption; // caption of the "release the loading block" menu item
    bool animationsRunning; // the four animations at creation
    bool valueTooltips; // unit tooltips on the six value fields
};

constexpr int kLineCount = 4;

// Traits of line 1..4.
const TLineTraits& LineTraits(int line);

} // namespace karvel
