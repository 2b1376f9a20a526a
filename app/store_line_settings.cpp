#include "store_line_settings.h"

#include "config_keys.h"
#include "config_store.h"
#include "port_param_store.h"
#include "step_error.h"

namespace karvel {

TLineModelSetting TStoreLineSettings::ReadModel(const TLineTraits& line)
{
    TLineModelSetting setting;
    try {
        const TConfigStore store(storePath_);
        const QString key = LineKey(line.number);
        setting.keyExists = store.KeyExists(key);
        if (setting.keyExists)
            setting.terminalType = store.ReadBool(key, kTerminalTypeValue);
    } catch (const TStepError& error) {
        setting.error = error.text().toStdString();
    }
    return setting;
}

TLinePortSetting TStoreLineSettings::ReadPort(const TLineTraits& line)
{
    TLinePortSetting setting;
    try {
        const TConfigStore store(storePath_);
        setting.keyExists = store.KeyExists(kPortParamKey);
        if (setting.keyExists) {
            setting.port = store.ReadInteger(kPortParamKey, PortLValue(line.number));
            setting.speed = store.ReadInteger(kPortParamKey, SpeedLValue(line.number));
            setting.rs485 = ReadRs485(store, line.number);
        }
    } catch (const TStepError& error) {
        setting.error = error.text().toStdString();
    }
    return setting;
}

} // namespace karvel
