#include "soak_store.h"

#include "config_keys.h"
#include "config_store.h"
#include "step_error.h"

namespace karvel::soak {

std::vector<TSoakLine> SoakLines(int perLine)
{
    std::vector<TSoakLine> lines;
    for (int line = 1; line <= kLines; ++line) {
        TSoakLine soakLine {line, line >= 3, {}};
        for (int k = 1; k <= perLine; ++k) {
            const auto net = static_cast<uint8_t>(line * 10 + k);
            soakLine.terminals.push_back(
                {net, QStringLiteral("Линия %1 продукт %2").arg(line).arg(k)});
        }
        lines.push_back(soakLine);
    }
    return lines;
}

void WriteStore(const QString& storePath, const std::vector<TSoakLine>& lines)
{
    TConfigStore store(storePath);
    for (const TSoakLine& line : lines) {
        const QString key = LineKey(line.number);
        store.WriteBool(key, QStringLiteral("TerminalType"), line.kr100);
        for (int slot = 1; slot <= kSlots; ++slot) {
            const bool used = slot <= static_cast<int>(line.terminals.size());
            const TSoakTerminal* t =
                used ? &line.terminals[static_cast<size_t>(slot - 1)] : nullptr;
            store.WriteInteger(key, QStringLiteral("NetNum%1").arg(slot), t ? t->net : 0);
            store.WriteString(key, QStringLiteral("NameP%1").arg(slot),
                              t ? t->product : DefaultProductName(slot));
        }
        store.WriteInteger(kPortParamKey, QStringLiteral("PortL%1").arg(line.number),
                           line.number - 1);
        store.WriteInteger(kPortParamKey, QStringLiteral("SpeedL%1").arg(line.number), 1);
    }
    store.WriteBool(kPortParamKey, QStringLiteral("LogWr"), true);
    store.WriteBool(kPortParamKey, QStringLiteral("SoundStop"), false);
    store.WriteBool(kPortParamKey, QStringLiteral("SoundMode"), false);
    store.WriteString(kPortParamKey, QStringLiteral("SoundFileName"), QString());
    store.Flush();
}

} // namespace karvel::soak
