#include "account_client.h"

#include "account_error.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace karvel {

namespace {

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

QString ErrorNameOf(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ErrorMessage
        ? reply.errorName()
        : QStringLiteral("org.freedesktop.DBus.Error.NoReply");
}

} // namespace

TAccountClient::TAccountClient(QString progId, int timeoutMs, QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), progId_(std::move(progId)), timeoutMs_(timeoutMs)
{
    if (!ValidIdentifier(progId_) || !bus_.isConnected())
        return;
    watcher_ = std::make_unique<QDBusServiceWatcher>(progId_, bus_,
                                                     QDBusServiceWatcher::WatchForOwnerChange);
    connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                if (newOwner != owner_)
                    gone_ = true;
                if (!newOwner.isEmpty() && OnServerAppeared)
                    OnServerAppeared();
            });
}

TAccountClient::~TAccountClient()
{
    Release();
}

std::optional<QString> TAccountClient::CheckIdentifier(const QString& progId)
{
    if (!ValidIdentifier(progId))
        return AccountErrorText(kInvalidClassString, progId);
    return std::nullopt;
}

QDBusMessage TAccountClient::FactoryCall() const
{
    const QString factoryPath = u'/' + QString(progId_).replace(u'.', u'/');
    // Sent with the bus's auto-start flag: nobody owning the name starts its server.
    return QDBusMessage::createMethodCall(progId_, factoryPath,
                                          QString::fromLatin1(kFactoryInterface),
                                          QStringLiteral("CreateObject"));
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

void TAccountClient::Watch(const QDBusPendingCall& call,
                           void (TAccountClient::*handler)(const QDBusMessage&))
{
    // Owned by this object: a client destroyed meanwhile takes its watchers along.
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, handler](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                (this->*handler)(w->reply());
            });
}

void TAccountClient::Open()
{
    if (opening_)
        return;
    if (const auto invalid = CheckIdentifier(progId_)) {
        Opened(invalid, QString());
        return;
    }
    if (!bus_.isConnected()) {
        Opened(AccountErrorText(kServerUnavailable, bus_.lastError().message()),
               QStringLiteral("org.freedesktop.DBus.Error.Disconnected"));
        return;
    }
    opening_ = true;
    path_.clear();
    hasAddCount_ = false;
    Watch(bus_.asyncCall(FactoryCall(), timeoutMs_), &TAccountClient::Created);
}

void TAccountClient::Created(const QDBusMessage& reply)
{
    if (const auto failed = ErrorOf(reply)) {
        Opened(failed, ErrorNameOf(reply));
        return;
    }
    if (reply.signature() != u"o") {
        Opened(
            AccountErrorText(kTypeMismatch, QStringLiteral("CreateObject: ") + reply.signature()),
            QStringLiteral("org.freedesktop.DBus.Error.InvalidSignature"));
        return;
    }
    path_ = reply.arguments().constFirst().value<QDBusObjectPath>().path();
    // The sender of the answer is the server that owns the object: when another server
    // takes the name later, the object is gone with the old one.
    owner_ = reply.service();
    gone_ = false;
    QDBusMessage ask = MethodCall(QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                  QStringLiteral("Introspect"), {});
    Watch(bus_.asyncCall(ask, timeoutMs_), &TAccountClient::Introspected);
}

void TAccountClient::Introspected(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage) {
        hasAddCount_ = OffersAddCount(reply.arguments().value(0).toString());
    } else if (FailureKind(ErrorNameOf(reply)) == TFailureKind::Transient) {
        // Not known whether it offers the extended interface: the object is made anew
        // next time rather than sent changes without their identity.
        gone_ = true;
        Opened(ErrorOf(reply), ErrorNameOf(reply));
        return;
    }
    // A server that does not describe its objects gets the calls every server takes.
    Opened(std::nullopt, QString());
}

void TAccountClient::Opened(const std::optional<QString>& error, const QString& errorName)
{
    opening_ = false;
    if (error)
        gone_ = true;
    if (OnOpened)
        OnOpened(error, errorName);
}

QDBusPendingCall TAccountClient::CallAsync(const QString& interface, const QString& method,
                                           const QVariantList& args)
{
    return bus_.asyncCall(MethodCall(interface, method, args), timeoutMs_);
}

void TAccountClient::Release()
{
    if (path_.isEmpty())
        return;
    // Nobody waits for the answer; a server also releases the objects of a client that
    // left the bus.
    bus_.asyncCall(
        MethodCall(QString::fromLatin1(kUnknownInterface), QStringLiteral("Release"), {}),
        timeoutMs_);
    path_.clear();
}

QVariantList TAccountClient::CountArgs(uint8_t netNum, const QString& product, double countC,
                                       double countD)
{
    return {QVariant::fromValue<uchar>(netNum), product, countC, countD};
}

QVariantList TAccountClient::AddCountArgs(int line, uint8_t netNum, const QString& product,
                                          double countC, double countD, const QString& changeId)
{
    return {QVariant::fromValue<uchar>(static_cast<uchar>(line)),
            QVariant::fromValue<uchar>(netNum),
            product,
            countC,
            countD,
            changeId};
}

bool TAccountClient::IsGoneError(const QString& name)
{
    const uint32_t code = AccountErrorCode(name);
    return code == kDisconnected || code == kClassNotRegistered ||
        name == u"org.freedesktop.DBus.Error.Disconnected" ||
        name == u"org.freedesktop.DBus.Error.AccessDenied";
}

bool TAccountClient::OffersAddCount(const QString& xml)
{
    QXmlStreamReader reader(xml);
    bool inInterface = false;
    bool inMethod = false;
    QString signature;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        const auto name = reader.name();
        if (token == QXmlStreamReader::StartElement) {
            const auto attributes = reader.attributes();
            if (name == u"interface")
                inInterface = attributes.value(QLatin1StringView("name")) ==
                    QLatin1StringView(kDispatch2Interface);
            else if (name == u"method" && inInterface)
                inMethod = attributes.value(QLatin1StringView("name")) == u"AddCount";
            else if (name == u"arg" && inMethod &&
                     attributes.value(QLatin1StringView("direction")) != u"out")
                signature += attributes.value(QLatin1StringView("type"));
        } else if (token == QXmlStreamReader::EndElement) {
            if (name == u"method" && inMethod)
                return signature == u"yysdds";
            if (name == u"interface")
                inInterface = false;
        }
    }
    return false;
}

} // namespace karvel
