#pragma once

#include "object_registry.h"
#include "start_mode.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace karvel::server {

// Decides when the server ends. A server the bus started ends when its last object is
// released, when no object is asked for within a while of its start (the client that
// made the bus start it died or gave up), or when its bus goes away (nobody could
// release an object any more); one a user started runs until its window is closed.
// Closing it while objects are held needs the user's consent.
class ServerLifetime : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kFirstObjectWait {30000};

    ServerLifetime(StartMode mode, const ObjectRegistry& registry, QObject* parent = nullptr);

    // Watches the connection of a server the bus started.
    void watchConnection(const QDBusConnection& connection);
    // A server the bus started that has no object after `wait` ends as if its last
    // object had been released. Nothing for a server a user started.
    void waitForFirstObject(std::chrono::milliseconds wait = kFirstObjectWait);

    bool startedByBus() const { return mode_ == StartMode::Automation; }
    bool closeNeedsConsent() const { return registry_.count() > 0; }

signals:
    // The server should end now (queued: never raised inside a bus call).
    void endRequested();

private:
    void lastReleased();
    void checkConnection();
    void firstObjectWaitPassed();

    StartMode mode_;
    const ObjectRegistry& registry_;
    QDBusConnection connection_ {QString()};
    QTimer connectionCheck_;
    QTimer firstObjectWait_;
};

} // namespace karvel::server
