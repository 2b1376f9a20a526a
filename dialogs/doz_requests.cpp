#include "doz_requests.h"

#include "config_keys.h"

#include <algorithm>

namespace karvel {

namespace {

TMain_Karvel* TerminalAt(const TLineLookup& lines, int line, uint16_t externNum)
{
    const TLineList* list = lines ? lines(line) : nullptr;
    if (!list || externNum >= list->size())
        return nullptr;
    return (*list)[externNum].get();
}

} // namespace

void TDozRequests::Note(int line, uint16_t externNum)
{
    Forget(line, externNum);
    pending_.push_back({line, externNum});
}

void TDozRequests::Forget(int line, uint16_t externNum)
{
    std::erase_if(pending_,
                  [&](const TPending& p) { return p.line == line && p.externNum == externNum; });
}

TDozSource TDozRequests::Take(uint16_t externNum, const TDosageStructure& dosage,
                              const TLineLookup& lines)
{
    for (int line = 1; line <= kLines; ++line) {
        TMain_Karvel* terminal = TerminalAt(lines, line, externNum);
        if (terminal && &terminal->DosageStructure == &dosage) {
            Forget(line, externNum);
            return {line, terminal};
        }
    }
    const auto waiting = std::count_if(pending_.begin(), pending_.end(),
                                       [&](const TPending& p) { return p.externNum == externNum; });
    if (waiting != 1)
        return {};
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [&](const TPending& p) { return p.externNum == externNum; });
    const int line = it->line;
    pending_.erase(it);
    TMain_Karvel* terminal = TerminalAt(lines, line, externNum);
    return terminal ? TDozSource {line, terminal} : TDozSource {};
}

} // namespace karvel
