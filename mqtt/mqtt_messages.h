#pragma once
// What a station publishes: topics and JSON payloads of bookings, live terminal values
// and the station's status. Kept apart from the client so that it is tested without a
// broker.

#include "ledger.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>

namespace karvel {

class TMain_Karvel;

// What a line window shows of one terminal.
struct TLiveTerminal {
    int line = 0;
    int netNum = 0;
    std::string product;
    std::string weight; // the terminal's own weight text; empty before the first answer
    double total = 0;
    int64_t portions = 0;
    double lastPortion = 0;
    double rate = 0;
    double cycleTime = 0;
    bool link = false;
};

TLiveTerminal LiveTerminalOf(int line, const TMain_Karvel& slot);

QString BookingTopic(const QString& prefix, const QString& stationId);
QString StatusTopic(const QString& prefix, const QString& stationId);
QString TerminalStateTopic(const QString& prefix, const QString& stationId, int line, int netNum);

// {"changeId","time" (ISO 8601 with the booking's offset),"line","netNum","product",
//  "Count_C","Count_D"}
QByteArray BookingJson(const TLedgerChange& change);
// {"product","weight","total","portions","lastPortion","rate","cycleTime","link"}
QByteArray LiveJson(const TLiveTerminal& terminal);

inline const QByteArray kStatusOnline = QByteArrayLiteral("online");
inline const QByteArray kStatusOffline = QByteArrayLiteral("offline");

} // namespace karvel
