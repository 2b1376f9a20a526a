#include "line_traits.h"

#include <stdexcept>

namespace karvel {

namespace {

constexpr const char* kReleaseLine1 = "Снять блокировку цикла загрузки";
// The other three windows carry this caption as it always stood on them.
constexpr const char* kReleaseOthers = "Снять блокировку цика загрузки";

constexpr TLineTraits kLines[kLineCount] = {
    {1, "Линия 1", "ОШИБКА!!!! ПОРТ ЛИНИИ 1 НЕ ОТКРЫТ, ОБЕН НЕВОЗМОЖЕН!", 1, 105, kReleaseLine1,
     false, true},
    {2, "Линия 2", "ОШИБКА!!!! ПОРТ ЛИНИИ 2 НЕ ОТКРЫТ, ОБЕН НЕВОЗМОЖЕН!", 490, 105, kReleaseOthers,
     true, true},
    {3, "Линия 3", "ОШИБКА!!!! ПОРТ ЛИНИИ 3 НЕ ОТКРЫТ, ОБЕН НЕВОЗМОЖЕН!", -1, 421, kReleaseOthers,
     false, true},
    {4, "Линия 4", "ОШИБКА!!!! ПОРТ ЛИНИИ 4 НЕ ОТКРЫТ, ОБЕН НЕВОЗМОЖЕН!", 488, 420, kReleaseOthers,
     false, false},
};

} // namespace

const TLineTraits& LineTraits(int line)
{
    if (line < 1 || line > kLineCount)
        throw std::out_of_range("line number out of 1..4");
    return kLines[line - 1];
}

} // namespace karvel
