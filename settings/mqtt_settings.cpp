#include "mqtt_settings.h"

#include "config_keys.h"
#include "config_store.h"
#include "crypt_psw.h"

namespace karvel {

namespace {

bool IsTopicLevelText(const QString& text)
{
    return !text.contains(QLatin1Char('+')) && !text.contains(QLatin1Char('#')) &&
        !text.contains(QChar(0));
}

} // namespace

std::optional<QString> CheckMqttSettings(const TMqttSettings& s)
{
    if (s.host.trimmed().isEmpty())
        return QStringLiteral("Не указан адрес брокера MQTT");
    if (s.port < 1 || s.port > 65535)
        return QStringLiteral("Порт брокера MQTT должен быть от 1 до 65535");
    if (s.topicPrefix.isEmpty() || !IsTopicLevelText(s.topicPrefix) ||
        s.topicPrefix.startsWith(QLatin1Char('/')) || s.topicPrefix.endsWith(QLatin1Char('/')))
        return QStringLiteral("Префикс тем MQTT не может быть пустым, начинаться или "
                              "кончаться на \"/\" и содержать \"+\" или \"#\"");
    if (s.tls && s.caFile.isEmpty())
        return QStringLiteral("Для TLS укажите файл сертификата центра сертификации");
    if (s.password.isEmpty() == false && s.user.isEmpty())
        return QStringLiteral("Пароль MQTT задан без имени пользователя");
    return std::nullopt;
}

TMqttSettings LoadMqttSettings(const TConfigStore& store)
{
    TMqttSettings s;
    if (!store.KeyExists(kMqttKey))
        return s;
    auto has = [&](const char* name) {
        return store.ValueExists(kMqttKey, QString::fromLatin1(name));
    };
    auto text = [&](const char* name, QString& into) {
        if (has(name))
            into = store.ReadString(kMqttKey, QString::fromLatin1(name));
    };
    if (has("Enabled"))
        s.enabled = store.ReadBool(kMqttKey, QStringLiteral("Enabled"));
    text("Host", s.host);
    if (has("Port"))
        s.port = store.ReadInteger(kMqttKey, QStringLiteral("Port"));
    if (has("Tls"))
        s.tls = store.ReadBool(kMqttKey, QStringLiteral("Tls"));
    text("CaFile", s.caFile);
    text("User", s.user);
    if (has("Password"))
        s.password = CryptPsw(store.ReadString(kMqttKey, QStringLiteral("Password")));
    text("TopicPrefix", s.topicPrefix);
    return s;
}

void SaveMqttSettings(TConfigStore& store, const TMqttSettings& s)
{
    store.WriteBool(kMqttKey, QStringLiteral("Enabled"), s.enabled);
    store.WriteString(kMqttKey, QStringLiteral("Host"), s.host);
    store.WriteInteger(kMqttKey, QStringLiteral("Port"), s.port);
    store.WriteBool(kMqttKey, QStringLiteral("Tls"), s.tls);
    store.WriteString(kMqttKey, QStringLiteral("CaFile"), s.caFile);
    store.WriteString(kMqttKey, QStringLiteral("User"), s.user);
    store.WriteString(kMqttKey, QStringLiteral("Password"), CryptPsw(s.password));
    store.WriteString(kMqttKey, QStringLiteral("TopicPrefix"), s.topicPrefix);
    store.Flush();
}

} // namespace karvel
