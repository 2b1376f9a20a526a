#include "automation_bus.h"

#include "type_library.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>

namespace karvel::server {
namespace {

QLatin1StringView latin(const char* text)
{
    return QLatin1StringView(text);
}

// A call names a member of an interface; a call without an interface matches by name.
bool calls(const QDBusMessage& message, const char* interface, const char* member)
{
    return message.member() == latin(member) &&
        (message.interface().isEmpty() || message.interface() == latin(interface));
}

bool callsDispatch(const QDBusMessage& message)
{
    return message.interface().isEmpty() || message.interface() == latin(tlb::kDispatchInterface);
}

// An object is its creator's alone: calls from any other bus name are refused.
constexpr char kErrorAccessDenied[] = "org.freedesktop.DBus.Error.AccessDenied";

QDBusMessage error(const QDBusMessage& message, const char* name, const QString& text)
{
    return message.createErrorReply(latin(name), text);
}

QDBusMessage typeMismatch(const QDBusMessage& message, const QString& text)
{
    return error(message, tlb::kErrorTypeMismatch, text);
}

QDBusMessage wrongSignature(const QDBusMessage& message, const char* expected)
{
    return typeMismatch(message,
                        QStringLiteral("%1 takes the arguments '%2', not '%3'")
                            .arg(message.member(), latin(expected), message.signature()));
}

QDBusMessage unknownName(const QDBusMessage& message)
{
    return error(message, tlb::kErrorUnknownName,
                 QStringLiteral("Unknown name: %1 is not a member of %2")
                     .arg(message.member(),
                          message.interface().isEmpty() ? message.path() : message.interface()));
}

} // namespace

AutomationBus::AutomationBus(const QDBusConnection& connection, ObjectRegistry& registry,
                             const QString& identifier, QObject* parent)
    : QDBusVirtualObject(parent), connection_(connection), registry_(registry),
      factoryPath_(tlb::factoryPath(identifier)),
      ownerWatcher_(QString(), connection, QDBusServiceWatcher::WatchForUnregistration)
{
    connect(&ownerWatcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &AutomationBus::ownerLeft);
}

AutomationBus::~AutomationBus()
{
    detach();
}

bool AutomationBus::attach()
{
    attached_ = connection_.registerVirtualObject(factoryPath_, this, QDBusConnection::SubPath);
    return attached_;
}

void AutomationBus::detach()
{
    if (attached_)
        connection_.unregisterObject(factoryPath_, QDBusConnection::UnregisterTree);
    attached_ = false;
}

QString AutomationBus::introspect(const QString&) const
{
    // Introspect calls are answered in handleMessage with the whole description.
    return QString();
}

bool AutomationBus::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    if (message.path() == factoryPath_) {
        QString goneOwner;
        connection.send(factoryCall(message, &goneOwner));
        if (!goneOwner.isEmpty())
            ownerLeft(goneOwner);
        return true;
    }
    TDataControlServ* object = registry_.find(message.path());
    if (!object) {
        connection.send(error(message, tlb::kErrorUnknownObject,
                              QStringLiteral("No object at ") + message.path()));
        return true;
    }
    if (message.service() != object->owner()) {
        // Checked before anything else, so a refused call changes nothing.
        connection.send(
            error(message, kErrorAccessDenied,
                  QStringLiteral("%1 belongs to another client of the bus").arg(message.path())));
        return true;
    }
    if (calls(message, tlb::kUnknownInterface, "Release")) {
        if (!message.signature().isEmpty()) {
            connection.send(wrongSignature(message, ""));
            return true;
        }
        // Answer first: releasing the last object may end the server.
        connection.send(message.createReply());
        registry_.release(message.path());
        return true;
    }
    connection.send(objectCall(*object, message));
    return true;
}

QDBusMessage AutomationBus::factoryCall(const QDBusMessage& message, QString* goneOwner)
{
    if (calls(message, tlb::kIntrospectableInterface, "Introspect"))
        return message.createReply(tlb::factoryIntrospection(registry_.childNodes()));
    if (!calls(message, tlb::kFactoryInterface, "CreateObject"))
        return unknownName(message);
    if (!message.signature().isEmpty())
        return wrongSignature(message, "");

    const QString owner = message.service();
    const QString path = registry_.create(owner);
    watchOwner(owner);
    // The owner may have left before the watch was in place; the bus answers this after
    // it has taken the watch, so no departure can slip between the two.
    if (!owner.isEmpty() && !connection_.interface()->isServiceRegistered(owner).value())
        *goneOwner = owner;
    return message.createReply(QVariant::fromValue(QDBusObjectPath(path)));
}

QDBusMessage AutomationBus::objectCall(TDataControlServ& object, const QDBusMessage& message)
{
    if (calls(message, tlb::kIntrospectableInterface, "Introspect"))
        return message.createReply(tlb::objectIntrospection());
    if (callsDispatch(message)) {
        if (const auto method = tlb::findCountMethod(message.member()))
            return countCall(object, method->line, message);
    }
    if (calls(message, tlb::kDispatch2Interface, tlb::kAddCountMethod))
        return addCountCall(object, message);
    if (calls(message, tlb::kConnectionPointInterface, "Advise"))
        return adviseCall(object, message);
    if (calls(message, tlb::kConnectionPointInterface, "Unadvise"))
        return unadviseCall(object, message);
    return unknownName(message);
}

QDBusMessage AutomationBus::countCall(TDataControlServ& object, int line,
                                      const QDBusMessage& message)
{
    if (message.signature() != latin(tlb::kCountSignature))
        return wrongSignature(message, tlb::kCountSignature);
    const QVariantList args = message.arguments();
    const auto countC = toCurrency(args.at(2).toDouble());
    if (!countC)
        return typeMismatch(message, QStringLiteral("Count_C does not convert to currency"));
    const auto countD = toCurrency(args.at(3).toDouble());
    if (!countD)
        return typeMismatch(message, QStringLiteral("Count_D does not convert to currency"));

    CountCall call;
    call.line = line;
    call.netNum = args.at(0).value<uchar>();
    call.product = args.at(1).toString();
    call.countC = *countC;
    call.countD = *countD;
    object.AddCountLine(call);
    return message.createReply();
}

QDBusMessage AutomationBus::addCountCall(TDataControlServ& object, const QDBusMessage& message)
{
    if (message.signature() != latin(tlb::kAddCountSignature))
        return wrongSignature(message, tlb::kAddCountSignature);
    const QVariantList args = message.arguments();
    const int line = args.at(0).value<uchar>();
    if (line < 1 || line > 4)
        return typeMismatch(message, QStringLiteral("line %1 is not 1..4").arg(line));
    const QString changeId = args.at(5).toString();
    if (changeId.isEmpty())
        return typeMismatch(message, QStringLiteral("change_id is empty"));
    const auto countC = toCurrency(args.at(3).toDouble());
    if (!countC)
        return typeMismatch(message, QStringLiteral("count_c does not convert to currency"));
    const auto countD = toCurrency(args.at(4).toDouble());
    if (!countD)
        return typeMismatch(message, QStringLiteral("count_d does not convert to currency"));
    // A change sent again is acknowledged as booked, without a second line.
    if (bookedIds_->contains(changeId))
        return message.createReply();

    CountCall call;
    call.line = line;
    call.netNum = args.at(1).value<uchar>();
    call.product = args.at(2).toString();
    call.countC = *countC;
    call.countD = *countD;
    object.AddCountLine(call);
    bookedIds_->add(changeId);
    return message.createReply();
}

QDBusMessage AutomationBus::adviseCall(TDataControlServ& object, const QDBusMessage& message)
{
    if (message.signature() != latin(tlb::kAdviseSignature))
        return wrongSignature(message, tlb::kAdviseSignature);
    const QVariantList args = message.arguments();
    EventSink sink {args.at(0).toString(), args.at(1).value<QDBusObjectPath>().path()};
    if (sink.busName.isEmpty())
        return typeMismatch(message, QStringLiteral("the sink's bus name is empty"));
    const auto cookie = object.Advise(sink);
    if (!cookie) {
        return error(message, tlb::kErrorCannotConnect,
                     QStringLiteral("The connection point takes a single sink and has one"));
    }
    return message.createReply(QVariant::fromValue(uint(*cookie)));
}

QDBusMessage AutomationBus::unadviseCall(TDataControlServ& object, const QDBusMessage& message)
{
    if (message.signature() != latin(tlb::kUnadviseSignature))
        return wrongSignature(message, tlb::kUnadviseSignature);
    if (!object.Unadvise(message.arguments().at(0).toUInt())) {
        return error(message, tlb::kErrorNoConnection,
                     QStringLiteral("No connection with that cookie"));
    }
    return message.createReply();
}

void AutomationBus::watchOwner(const QString& owner)
{
    if (!owner.isEmpty() && !ownerWatcher_.watchedServices().contains(owner))
        ownerWatcher_.addWatchedService(owner);
}

void AutomationBus::ownerLeft(const QString& owner)
{
    ownerWatcher_.removeWatchedService(owner);
    registry_.releaseOwnedBy(owner);
}

std::optional<QString> claimBusName(const QDBusConnection& connection, const QString& name)
{
    const auto reply =
        connection.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid())
        return reply.error().message();
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return QStringLiteral("the name %1 is owned by another program").arg(name);
    return std::nullopt;
}

void releaseBusName(const QDBusConnection& connection, const QString& name)
{
    connection.interface()->unregisterService(name);
}

} // namespace karvel::server
