#pragma once
// Keys, value names and defaults of the per-user store.

#include <QString>

namespace karvel {

inline const QString kRootKey = QStringLiteral("Software\\Vistam\\Karvel_net");
inline const QString kControlKey = kRootKey + QStringLiteral("\\Control");
inline const QString kPortParamKey = kRootKey + QStringLiteral("\\PortParam");
inline QString LineKey(int line)
{
    return kRootKey + QStringLiteral("\\Line%1").arg(line);
}

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
