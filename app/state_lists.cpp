#include "state_lists.h"

#include <algorithm>

namespace karvel {

int TStateLists::FindPin(uint8_t line, uint8_t pin) const
{
    if (line < 1 || line > kLines)
        return -1;
    const auto& list = lists_[line - 1];
    const auto it = std::find(list.begin(), list.end(), pin);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TStateLists::AddPin(uint8_t line, uint8_t pin)
{
    if (line >= 1 && line <= kLines && FindPin(line, pin) < 0)
        lists_[line - 1].push_back(pin);
}

void TStateLists::DropPin(uint8_t line, uint8_t pin)
{
    const int pos = FindPin(line, pin);
    if (pos >= 0)
        lists_[line - 1].erase(lists_[line - 1].begin() + pos);
}

QStringList TStateLists::ShowData() const
{
    QStringList text;
    for (int line = 1; line <= kLines; ++line)
        for (uint8_t pin : lists_[line - 1])
            text.append(
                QStringLiteral("Линия %1  Весы %2 - отсутствует связь!").arg(line).arg(pin));
    return text;
}

} // namespace karvel
