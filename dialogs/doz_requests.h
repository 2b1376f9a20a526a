#pragma once
// Which terminal a set of arriving dosing parameters belongs to. "Параметры" of a line
// notes the line and the terminal's position in that line's list; the parameters arrive
// later with the position only. Positions repeat from line to line, so the line must come
// from the request, never from the last button pressed anywhere: a write always goes back
// to the terminal the values were read from.

#include "d_karvel.h"
#include "line_list.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace karvel {

// The list of line 1..4; null for a line number outside 1..4.
using TLineLookup = std::function<const TLineList*(int line)>;

struct TDozSource {
    int line = 0; // 0: not resolved
    TMain_Karvel* terminal = nullptr;
};

class TDozRequests {
public:
    // "Параметры" of `line` for the terminal at `externNum` in that line's list.
    void Note(int line, uint16_t externNum);

    // The terminal whose parameters arrived. The terminal raises its event with its own
    // record, so a terminal of a list whose record is `dosage` itself is the source
    // wherever it is. Otherwise (a copy of the record) the source is the one pending read
    // at `externNum`; with none, or with several lines waiting at that position, the
    // source is unknown and nothing may be written. A resolved read is no longer pending.
    TDozSource Take(uint16_t externNum, const TDosageStructure& dosage, const TLineLookup& lines);

    // Forgets every pending read (the slot objects were rebuilt).
    void Clear() { pending_.clear(); }
    size_t PendingCount() const { return pending_.size(); }

private:
    struct TPending {
        int line;
        uint16_t externNum;
    };
    void Forget(int line, uint16_t externNum);

    std::vector<TPending> pending_;
};

} // namespace karvel
