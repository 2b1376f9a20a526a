#pragma once

#include "object_registry.h"
#include "start_mode.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

namespace karvel::server {

// Decides when the server ends. A server the bus started ends when its last object is
// released, or when its bus goes away (nobody could release an object any more); one a
// user started runs until its window is closed. Closing it while objects are held needs
// the user's consent.
class ServerLifetime : public QObject {
    Q_OBJECT
public:
    ServerLifetime(StartMode mode, const ObjectRegistry& registry, QObject* parent = nullptr);

    // Watches the connection of a server the bus started.
    void watchConnection(const QDBusConnection& connection);

    bool startedByBus() const { return FMode == StartMode::Automation; }
    bool closeNeedsConsent() const { return FRegistry.count() > 0; }

signals:
    // The server should end now (queued: never raised inside a bus call).
    void endRequested();

private:
    void lastReleased();
    void checkConnection();

    StartMode FMode;
    const ObjectRegistry& FRegistry;
    QDBusConnection FConnection {QString()};
    QTimer FConnectionCheck;
};

} // namespace karvel::server
