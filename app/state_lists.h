#pragma once
// The terminals whose link is lost, per line, in the order the losses were first
// reported, and the text the system state window shows for them.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

namespace karvel {

class TStateLists {
public:
    static constexpr int kLines = 4;

    // Line is 1..4; other lines are ignored (FindPin gives -1).
    void AddPin(uint8_t line, uint8_t pin);
    void DropPin(uint8_t line, uint8_t pin);
    int FindPin(uint8_t line, uint8_t pin) const;
    // One text line per entry, lines 1..4, each line's entries in list order.
    QStringList ShowData() const;

    const std::vector<uint8_t>& LineL(uint8_t line) const { return lists_.at(line - 1); }

private:
    std::array<std::vector<uint8_t>, kLines> lists_;
};

} // namespace karvel
