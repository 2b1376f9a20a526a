#include "account_client.h"

#include "account_error.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QRegularExpression>

namespace karvel {

namespace {

const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");

bool ValidIdentifier(const QString& id)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(\\.[A-Za-z_][A-Za-z0-9_]*)+$"));
    return id.size() <= 255 && pattern.match(id).hasMatch();
}

std::optional<QString> ErrorOf(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ErrorMessage)
        return AccountErrorText(QDBusError(reply));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return AccountErrorText(kServerUnavailable, QString());
    return std::nullopt;
}

} // namespace

TAccountClient::TAccountClient(QDBusConnection bus, QString progId, int timeoutMs)
    : bus_(std::move(bus)), progId_(std::move(progId)), timeoutMs_(timeoutMs),
      watcher_(std::make_unique<QDBusServiceWatcher>(progId_, bus_,
                                                     QDBusServiceWatcher::WatchForOwnerChange))
{
    QObject::connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged,
                     [this](const QString&, const QString&, const QString& newOwner) {
                         if (newOwner != owner_)
                             gone_ = true;
                     });
}

std::unique_ptr<TAccountClient> TAccountClient::Create(const QString& progId, int timeoutMs,
                                                       QString& error, QDBusConnection bus)
{
    if (!ValidIdentifier(progId)) {
        error = AccountErrorText(kInvalidClassString, progId);
        return nullptr;
    }
    if (!bus.isConnected()) {
        error = AccountErrorText(kServerUnavailable, bus.lastError().message());
        return nullptr;
    }
    std::unique_ptr<TAccountClient> client(new TAccountClient(bus, progId, timeoutMs));
    // Nobody owns the name: ask the bus to start its server (bus activation).
    if (client->CurrentOwner().isEmpty()) {
        QDBusMessage start = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusService,
                                                            QStringLiteral("StartServiceByName"));
        start << progId << 0u;
        const QDBusMessage reply = bus.call(start, QDBus::Block, kActivationTimeoutMs);
        if (const auto failed = ErrorOf(reply)) {
            error = *failed;
            return nullptr;
        }
    }
    const QDBusMessage reply = bus.call(client->FactoryCall(), QDBus::Block, timeoutMs);
    if (const auto failed = client->TakeObject(reply)) {
        error = *failed;
        return nullptr;
    }
    return client;
}

TAccountClient::~TAccountClient()
{
    Release();
}

QString TAccountClient::CurrentOwner() const
{
    QDBusMessage ask = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusService,
                                                      QStringLiteral("GetNameOwner"));
    ask << progId_;
    const QDBusMessage reply = bus_.call(ask, QDBus::Block, timeoutMs_);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QString();
    return reply.arguments().constFirst().toString();
}

QDBusMessage TAccountClient::FactoryCall() const
{
    const QString factoryPath = u'/' + QString(progId_).replace(u'.', u'/');
    return QDBusMessage::createMethodCall(progId_, factoryPath,
                                          QString::fromLatin1(kFactoryInterface),
                                          QStringLiteral("CreateObject"));
}

std::optional<QString> TAccountClient::TakeObject(const QDBusMessage& reply)
{
    if (const auto failed = ErrorOf(reply))
        return failed;
    if (reply.signature() != u"o")
        return AccountErrorText(kTypeMismatch,
                                QStringLiteral("CreateObject: ") + reply.signature());
    path_ = reply.arguments().constFirst().value<QDBusObjectPath>().path();
    // The sender of the answer is the server that owns the object: when another server
    // takes the name later, the object is gone with the old one.
    owner_ = reply.service();
    gone_ = false;
    return std::nullopt;
}

QDBusMessage TAccountClient::MethodCall(const QString& interface, const QString& method,
                                        const QVariantList& args) const
{
    QDBusMessage msg = QDBusMessage::createMethodCall(progId_, path_, interface, method);
    msg.setArguments(args);
    // An object made by one server instance must not be called on a new one.
    msg.setAutoStartService(false);
    return msg;
}

std::optional<QString> TAccountClient::Call(const QString& method, const QVariantList& args)
{
    const QDBusMessage reply =
        bus_.call(MethodCall(QString::fromLatin1(kDispatchInterface), method, args), QDBus::Block,
                  timeoutMs_);
    if (reply.type() == QDBusMessage::ErrorMessage && IsGoneError(reply.errorName()))
        gone_ = true;
    return ErrorOf(reply);
}

QDBusPendingCall TAccountClient::CallAsync(const QString& method, const QVariantList& args)
{
    return bus_.asyncCall(MethodCall(QString::fromLatin1(kDispatchInterface), method, args),
                          timeoutMs_);
}

QDBusPendingCall TAccountClient::RecreateAsync()
{
    // The factory call may start the server again (bus activation).
    return bus_.asyncCall(FactoryCall(), kActivationTimeoutMs);
}

std::optional<QString> TAccountClient::FinishRecreate(const QDBusPendingCall& call)
{
    return TakeObject(call.reply());
}

void TAccountClient::Release()
{
    if (path_.isEmpty())
        return;
    bus_.call(MethodCall(QString::fromLatin1(kUnknownInterface), QStringLiteral("Release"), {}),
              QDBus::Block, timeoutMs_);
    path_.clear();
}

QVariantList TAccountClient::CountArgs(uint8_t netNum, const QString& product, double countC,
                                       double countD)
{
    return {QVariant::fromValue<uchar>(netNum), product, countC, countD};
}

bool TAccountClient::IsGoneError(const QString& name)
{
    const uint32_t code = AccountErrorCode(name);
    return code == kDisconnected || code == kClassNotRegistered ||
        name == u"org.freedesktop.DBus.Error.Disconnected";
}

} // namespace karvel
