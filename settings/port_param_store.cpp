#include "port_param_store.h"

#include "config_keys.h"
#include "config_store.h"

namespace karvel {

bool ReadRs485(const TConfigStore& store, int line)
{
    const QString name = Rs485LValue(line);
    return store.ValueExists(kPortParamKey, name) && store.ReadInteger(kPortParamKey, name) != 0;
}

std::optional<TPortParamValues> ReadPortParam(const TConfigStore& store)
{
    if (!store.KeyExists(kPortParamKey))
        return std::nullopt;
    TPortParamValues values;
    for (int line = 1; line <= kLines; ++line)
        values.port[static_cast<size_t>(line - 1)] =
            store.ReadInteger(kPortParamKey, PortLValue(line));
    for (int line = 1; line <= kLines; ++line)
        values.speed[static_cast<size_t>(line - 1)] =
            store.ReadInteger(kPortParamKey, SpeedLValue(line));
    values.soundStop = store.ReadBool(kPortParamKey, kSoundStopValue);
    values.logWr = store.ReadBool(kPortParamKey, kLogWrValue);
    values.soundMode = store.ReadBool(kPortParamKey, kSoundModeValue);
    values.soundFileName = store.ReadString(kPortParamKey, kSoundFileNameValue);
    for (int line = 1; line <= kLines; ++line)
        values.rs485[static_cast<size_t>(line - 1)] = ReadRs485(store, line);
    return values;
}

void WritePortParam(TConfigStore& store, const TPortParamValues& values)
{
    for (int line = 1; line <= kLines; ++line)
        store.WriteInteger(kPortParamKey, PortLValue(line),
                           values.port[static_cast<size_t>(line - 1)]);
    for (int line = 1; line <= kLines; ++line)
        store.WriteInteger(kPortParamKey, SpeedLValue(line),
                           values.speed[static_cast<size_t>(line - 1)]);
    store.WriteBool(kPortParamKey, kSoundStopValue, values.soundStop);
    store.WriteBool(kPortParamKey, kLogWrValue, values.logWr);
    store.WriteBool(kPortParamKey, kSoundModeValue, values.soundMode);
    store.WriteString(kPortParamKey, kSoundFileNameValue, values.soundFileName);
    for (int line = 1; line <= kLines; ++line)
        store.WriteInteger(kPortParamKey, Rs485LValue(line),
                           values.rs485[static_cast<size_t>(line - 1)] ? 1 : 0);
    store.Flush();
}

} // namespace karvel
