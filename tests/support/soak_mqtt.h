#pragma once
// The MQTT side of a soak: what a subscriber on the broker received against the changes
// the program booked, per terminal. A change received again with the same id is a repeat
// (a consumer books it once); a change never received is lost; more distinct ids than
// bookings would be a change booked twice.

#include "soak_ledger.h"
#include "test_subscriber.h"

#include <map>
#include <vector>

namespace karvel::soak {

struct TMqttTally {
    int received = 0; // distinct change ids
    int lost = 0;
    int twice = 0;
    int repeats = 0;
};

TMqttTally CompareMqtt(const std::map<TTerminalKey, int>& coreBookings,
                       const std::vector<test::TReceived>& received);

} // namespace karvel::soak
