#pragma once
// Keys, value names and defaults of the per-user store: every name is spelled here and
// nowhere else. The load/save pair of each key group sits beside this file
// (control_settings, line_store, port_param_store, mqtt_settings).

#include <QString>

namespace karvel {

inline const QString kRootKey = QStringLiteral("Software\\Vistam\\Karvel_net");
inline const QString kControlKey = kRootKey + QStringLiteral("\\Control");
inline const QString kPortParamKey = kRootKey + QStringLiteral("\\PortParam");
inline const QString kMqttKey = kControlKey + QStringLiteral("\\Mqtt");
inline QString LineKey(int line)
{
    return kRootKey + QStringLiteral("\\Line%1").arg(line);
}

// Control
inline const QString kNameValue = QStringLiteral("Name"); // the accounting server's identifier
inline const QString kPasswordValue = QStringLiteral("Password"); // scrambled
// Shift starts for the reports, "08:00;20:00" (an addition; missing reads as the default).
inline const QString kShiftStartsValue = QStringLiteral("ShiftStarts");

// Line1..Line4
inline const QString kTerminalTypeValue = QStringLiteral("TerminalType");
inline QString NetNumValue(int slot)
{
    return QStringLiteral("NetNum%1").arg(slot);
}
inline QString NamePValue(int slot)
{
    return QStringLiteral("NameP%1").arg(slot);
}

// PortParam
inline QString PortLValue(int line)
{
    return QStringLiteral("PortL%1").arg(line);
}
inline QString SpeedLValue(int line)
{
    return QStringLiteral("SpeedL%1").arg(line);
}
// RS-485 mode of a line's port (an addition; missing reads as off).
inline QString Rs485LValue(int line)
{
    return QStringLiteral("RS485L%1").arg(line);
}
inline const QString kSoundStopValue = QStringLiteral("SoundStop");
inline const QString kLogWrValue = QStringLiteral("LogWr");
inline const QString kSoundModeValue = QStringLiteral("SoundMode");
inline const QString kSoundFileNameValue = QStringLiteral("SoundFileName");

// The station's identity (a UUID), the first part of every change identity; made once
// and written when missing, so a store from an older version keeps working.
inline const QString kStationIdValue = QStringLiteral("StationId");

inline const QString kDefaultProgId = QStringLiteral("KarvelC.DataControlServ");
inline const QString kDefaultPassword = QStringLiteral("90876590876590876");
inline QString DefaultProductName(int slot)
{
    return QStringLiteral("Продукт %1").arg(slot);
}

constexpr int kLines = 4;
constexpr int kSlots = 30;

} // namespace karvel
