#include "port_param_store.h"

#include "config_keys.h"
#include "config_store.h"

namespace karvel {

namespace {

QString PortName(int line)
{
    return QStringLiteral("PortL%1").arg(line);
}
QString SpeedName(int line)
{
    return QStringLiteral("SpeedL%1").arg(line);
}

} // namespace

QString Rs485ValueName(int line)
{
    return QStringLiteral("RS485L%1").arg(line);
}

bool ReadRs485(const TConfigStore& store, int line)
{
    const QString name = Rs485ValueName(line);
    return store.ValueExists(kPortParamKey, name) && store.ReadInteger(kPortParamKey, name) != 0;
}

std::optional<TPortParamValues> ReadPortParam(const TConfigStore& store)
{
    if (!store.KeyExists(kPortParamKey))
        return std::nullopt;
    TPortParamValues values;
    for (int line = 1; line <= kLines; ++line)
        values.port[static_cast<size_t>(line - 1)] =
            store.ReadInteger(kPortParamKey, PortName(line));
    for (int line = 1; line <= kLines; ++line)
        values.speed[static_cast<size_t>(line - 1)] =
            store.ReadInteger(kPortParamKey, SpeedName(line));
    values.soundStop = store.ReadBool(kPortParamKey, QStringLiteral("SoundStop"));
    values.logWr = store.ReadBool(kPortParamKey, QStringLiteral("LogWr"));
    values.soundMode = store.ReadBool(kPortParamKey, QStringLiteral("SoundMode"));
    values.soundFileName = store.ReadString(kPortParamKey, QStringLiteral("SoundFileName"));
    for (int line = 1; line <= kLines; ++line)
        values.rs485[static_cast<size_t>(line - 1)] = ReadRs485(store, line);
    return values;
}

void WritePortParam(TConfigStore& store, const TPortParamValues& values)
{
    for (int line = 1; line <= kLines; ++line)
        store.WriteInteger(kPortParamKey, PortName(line),
                           values.port[static_cast<size_t>(line - 1)]);
    for (int line = 1; line <= kLines; ++line)
        store.WriteInteger(kPortParamKey, SpeedName(line),
                           values.speed[static_cast<size_t>(line - 1)]);
    store.WriteBool(kPortParamKey, QStringLiteral("SoundStop"), values.soundStop);
    store.WriteBool(kPortParamKey, QStringLiteral("LogWr"), values.logWr);
    store.WriteBool(kPortParamKey, QStringLiteral("SoundMode"), values.soundMode);
    store.WriteString(kPortParamKey, QStringLiteral("SoundFileName"), values.soundFileName);
    for (int line = 1; line <= kLines; ++line)
        store.WriteInteger(kPortParamKey, Rs485ValueName(line),
                           values.rs485[static_cast<size_t>(line - 1)] ? 1 : 0);
    store.Flush();
}

} // namespace karvel
