#include "line_store.h"

#include "config_keys.h"
#include "config_store.h"
#include "step_error.h"

namespace karvel {

std::optional<int32_t> ParseNetNum(const QString& text)
{
    bool ok = false;
    const int32_t value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString NotAnIntegerText(const QString& text)
{
    return QStringLiteral("\"%1\" - недопустимое целое значение").arg(text);
}

std::optional<TLineComposition> LoadLineComposition(const TConfigStore& store, int line)
{
    const QString key = LineKey(line);
    if (!store.KeyExists(key))
        return std::nullopt;
    TLineComposition composition;
    composition.terminalType = store.ReadBool(key, kTerminalTypeValue);
    for (int slot = 1; slot <= kSlots; ++slot) {
        TLineSlotTexts& texts = composition.rows[static_cast<size_t>(slot - 1)];
        texts.netNum = QString::number(store.ReadInteger(key, NetNumValue(slot)));
        texts.product = store.ReadString(key, NamePValue(slot));
    }
    return composition;
}

bool SaveLineComposition(TConfigStore& store, int line, const TLineComposition& composition)
{
    const QString key = LineKey(line);
    if (!store.KeyExists(key))
        return false;
    store.WriteBool(key, kTerminalTypeValue, composition.terminalType);
    for (int slot = 1; slot <= kSlots; ++slot) {
        const TLineSlotTexts& texts = composition.rows[static_cast<size_t>(slot - 1)];
        const std::optional<int32_t> netNum = ParseNetNum(texts.netNum);
        if (!netNum) {
            store.Flush();
            throw TStepError(NotAnIntegerText(texts.netNum));
        }
        store.WriteInteger(key, NetNumValue(slot), *netNum);
        store.WriteString(key, NamePValue(slot), texts.product);
    }
    store.Flush();
    return true;
}

} // namespace karvel
