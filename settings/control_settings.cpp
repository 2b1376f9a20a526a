#include "control_settings.h"

#include "config_keys.h"
#include "config_store.h"
#include "crypt_psw.h"

#include <QUuid>

namespace karvel {

void WriteControlDefaults(TConfigStore& store)
{
    store.WriteString(kControlKey, kNameValue, kDefaultProgId);
    store.WriteString(kControlKey, kPasswordValue, CryptPsw(kDefaultPassword));
    store.Flush();
}

TControlSettings LoadControl(TConfigStore& store)
{
    TControlSettings settings;
    settings.progId = store.ReadString(kControlKey, kNameValue);
    settings.adminPassword = CryptPsw(store.ReadString(kControlKey, kPasswordValue));
    settings.stationId = ReadOrCreateStationId(store);
    return settings;
}

QString ReadOrCreateStationId(TConfigStore& store)
{
    QString id = store.ReadString(kControlKey, kStationIdValue);
    if (!QUuid::fromString(id).isNull())
        return id;
    id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    store.WriteString(kControlKey, kStationIdValue, id);
    store.Flush();
    return id;
}

} // namespace karvel
