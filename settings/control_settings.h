#pragma once
// The Control key of the store: the accounting server's identifier, the administrator
// password and the station's identity. Store errors are thrown as TStepError with the
// operator's text.

#include <QString>

namespace karvel {

class TConfigStore;

struct TControlSettings {
    QString progId; // the accounting server's identifier; empty: not configured
    QString adminPassword; // in clear
    QString stationId; // a UUID
};

// What a new installation starts with: the test accounting server and the default password.
void WriteControlDefaults(TConfigStore& store);
// Reads the key; a store without a valid station id gets one written now.
TControlSettings LoadControl(TConfigStore& store);

// The station's identity, Control\StationId: a UUID written on first use (a store of an
// older version, or a damaged value, gets a new one, since change identities must be
// unique).
QString ReadOrCreateStationId(TConfigStore& store);

} // namespace karvel
