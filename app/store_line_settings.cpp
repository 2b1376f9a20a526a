#include "store_line_settings.h"

#include "config_keys.h"
#include "config_store.h"
#include "step_error.h"

namespace karvel {

TLineModelSetting TStoreLineSettings::ReadModel(const TLineTraits& line)
{
    TLineModelSetting setting;
    try {
        const TConfigStore store(storePath_);
        const QString key = QString::fromUtf8(line.lineKey);
        setting.keyExists = store.KeyExists(key);
        if (setting.keyExists)
            setting.terminalType = store.ReadBool(key, QStringLiteral("TerminalType"));
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
            setting.port = store.ReadInteger(kPortParamKey, QString::fromUtf8(line.portValue));
            setting.speed = store.ReadInteger(kPortParamKey, QString::fromUtf8(line.speedValue));
            // Added later than the other values: a store without it reads as off.
            const QString rs485 = QStringLiteral("RS485L%1").arg(line.number);
            setting.rs485 = store.ValueExists(kPortParamKey, rs485) &&
                store.ReadInteger(kPortParamKey, rs485) != 0;
        }
    } catch (const TStepError& error) {
        setting.error = error.text().toStdString();
    }
    return setting;
}

} // namespace karvel
