#pragma once
// The comparison at the end of a soak: what the accounting server received (its memo
// lines) against what the simulated terminals really weighed, per terminal.

#include "soak_store.h"

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace karvel::soak {

// One accounting call as the test server's memo line shows it.
struct TMemoBooking {
    int line = 0;
    QString product;
    int net = 0;
    double countC = 0;
    double countD = 0;
};

std::optional<TMemoBooking> ParseMemoLine(const QString& text);
std::vector<TMemoBooking> ReadMemoLog(const QString& path);

using TTerminalKey = std::pair<int, int>; // line, network number

struct TTerminalTruth {
    int decimals = 2;
    int64_t passedStartRaw = 0; // weighed before the run's baseline
    int64_t passedEndRaw = 0;
};

struct TLedgerInput {
    std::vector<TSoakLine> lines;
    std::map<TTerminalKey, TTerminalTruth> truth;
    std::map<TTerminalKey, int> coreBookings; // changes the program booked
    std::map<TTerminalKey, int> linkLosses; // times the program reported the link lost
    std::vector<TMemoBooking> memo;
};

struct TLedgerResult {
    double differenceKg = 0; // booked minus weighed, all terminals
    int wrong = 0; // bookings with a product or terminal not configured so
    int lost = 0; // booked by the program, never received
    int duplicated = 0; // received more often than booked
    QStringList report; // one line per terminal, then the totals
};

TLedgerResult Compare(const TLedgerInput& input);

} // namespace karvel::soak
