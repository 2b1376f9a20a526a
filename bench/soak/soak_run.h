#pragma once
// One soak run: the real start-up core and four polling cycles over four simulated lines
// with faults, the accounting server killed and restarted, one terminal silenced and
// brought back; at the end every booking is compared with what was really weighed.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace karvel::soak {

struct TSoakOptions {
    int durationS = 600;
    int perLine = 4;
    int cycleMs = 6000;
    int seed = 1;
    double drop = 0.02, corrupt = 0.02, noise = 0.03, wrongNet = 0.01, late = 0.01;
    int serverKills = 2;
    int serverDownS = 8;
    int silenceS = 10;
    int brokerKills = 2; // the MQTT sink is on, and its broker is stopped this often
    int brokerDownS = 5;
    QString workDir; // kept when given; a temporary folder otherwise
};

struct TSoakOutcome {
    bool settled = false; // everything booked and delivered at the end
    double differenceKg = 0;
    int wrong = 0;
    int lost = 0;
    int duplicated = 0;
    int64_t memoryStartKiB = 0;
    int64_t memoryEndKiB = 0;
    int kept = 0; // failed calls reported to the operator's status line
    size_t mostWaiting = 0; // most changes waiting in the ledger at one time
    QStringList messages; // message boxes the program would have shown
    bool mqtt = false;
    int mqttReceived = 0, mqttLost = 0, mqttTwice = 0, mqttRepeats = 0;
    bool Passed() const;
};

TSoakOutcome RunSoak(const TSoakOptions& options);

} // namespace karvel::soak
