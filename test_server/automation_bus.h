#pragma once

#include "booked_ids.h"
#include "object_registry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>

#include <optional>

namespace karvel::server {

// The accounting interface on the bus: the class factory at the identifier's path and
// the objects below it. Every call is decoded here: unknown names, wrong signatures and
// arguments that do not convert to the declared types are answered with errors before
// any object sees them. An object answers only the bus name that created it; any other
// caller gets AccessDenied. Objects are released on `Release` and when their owner leaves
// the bus.
class AutomationBus : public QDBusVirtualObject {
    Q_OBJECT
public:
    AutomationBus(const QDBusConnection& connection, ObjectRegistry& registry,
                  const QString& identifier, QObject* parent = nullptr);
    ~AutomationBus() override;

    // Makes the factory and its objects reachable on the connection.
    bool attach();
    void detach();

    QString factoryPath() const { return factoryPath_; }
    // Where AddCount remembers the changes it booked; without it, this run's memory.
    void setBookedIds(BookedIds* ids) { bookedIds_ = ids ? ids : &ownIds_; }

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    // Sets *goneOwner when the creating client has already left the bus.
    QDBusMessage factoryCall(const QDBusMessage& message, QString* goneOwner);
    QDBusMessage objectCall(TDataControlServ& object, const QDBusMessage& message);
    QDBusMessage countCall(TDataControlServ& object, int line, const QDBusMessage& message);
    QDBusMessage addCountCall(TDataControlServ& object, const QDBusMessage& message);
    QDBusMessage adviseCall(TDataControlServ& object, const QDBusMessage& message);
    QDBusMessage unadviseCall(TDataControlServ& object, const QDBusMessage& message);
    void watchOwner(const QString& owner);
    void ownerLeft(const QString& owner);

    QDBusConnection connection_;
    ObjectRegistry& registry_;
    QString factoryPath_;
    QDBusServiceWatcher ownerWatcher_;
    bool attached_ = false;
    BookedIds ownIds_;
    BookedIds* bookedIds_ = &ownIds_;
};

// Takes the well-known name on the connection; false with the bus's reason in *error
// when someone else owns it.
std::optional<QString> claimBusName(const QDBusConnection& connection, const QString& name);
// Gives the name back. The call waits for the bus, so every reply queued before it
// has left the process when it returns.
void releaseBusName(const QDBusConnection& connection, const QString& name);

} // namespace karvel::server
