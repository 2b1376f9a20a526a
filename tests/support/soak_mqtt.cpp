#include "soak_mqtt.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <set>

namespace karvel::soak {

TMqttTally CompareMqtt(const std::map<TTerminalKey, int>& coreBookings,
                       const std::vector<test::TReceived>& received)
{
    std::map<TTerminalKey, std::set<QString>> ids;
    TMqttTally tally;
    for (const test::TReceived& m : received) {
        const QJsonObject o = QJsonDocument::fromJson(m.payload).object();
        const TTerminalKey key {o.value("line").toInt(), o.value("netNum").toInt()};
        if (!ids[key].insert(o.value("changeId").toString()).second)
            ++tally.repeats;
    }
    std::map<TTerminalKey, int> all = coreBookings;
    for (const auto& [key, set] : ids)
        all.try_emplace(key, 0);
    for (const auto& [key, booked] : all) {
        const auto it = ids.find(key);
        const int got = it == ids.end() ? 0 : static_cast<int>(it->second.size());
        tally.received += got;
        tally.lost += std::max(0, booked - got);
        tally.twice += std::max(0, got - booked);
    }
    return tally;
}

} // namespace karvel::soak
