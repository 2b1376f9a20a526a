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
    store.Flush();
}

} // namespace karvel
