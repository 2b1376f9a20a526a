#pragma once
// The station's link to a plant MQTT broker, as kept in the per-user store under
// Control\Mqtt. Every value is optional: a store without them (older, or imported) reads
// as "off" with the defaults below.

#include <QString>

#include <optional>

namespace karvel {

class TConfigStore;

struct TMqttSettings {
    bool enabled = false;
    QString host = QStringLiteral("127.0.0.1");
    int port = 1883;
    bool tls = false;
    QString caFile; // CA certificate that signed the broker's certificate (PEM)
    QString user;
    QString password;
    QString topicPrefix = QStringLiteral("karvel");

    bool operator==(const TMqttSettings&) const = default;
};

// The operator's text for settings that cannot work, nothing when they can.
std::optional<QString> CheckMqttSettings(const TMqttSettings& settings);

// Reads Control\Mqtt; values that are missing take their defaults. A value of the wrong
// type is an error (TStepError), as everywhere in the store.
TMqttSettings LoadMqttSettings(const TConfigStore& store);
// Writes every value (the password scrambled as the administrator's is) and flushes.
void SaveMqttSettings(TConfigStore& store, const TMqttSettings& settings);

} // namespace karvel
