#include "server_lifetime.h"

namespace karvel::server {

ServerLifetime::ServerLifetime(StartMode mode, const ObjectRegistry& registry, QObject* parent)
    : QObject(parent), FMode(mode), FRegistry(registry)
{
    connect(&registry, &ObjectRegistry::lastReleased, this, &ServerLifetime::lastReleased,
            Qt::QueuedConnection);
    connect(&FConnectionCheck, &QTimer::timeout, this, &ServerLifetime::checkConnection);
    FFirstObjectWait.setSingleShot(true);
    connect(&FFirstObjectWait, &QTimer::timeout, this, &ServerLifetime::firstObjectWaitPassed);
    connect(&registry, &ObjectRegistry::objectCountChanged, &FFirstObjectWait, &QTimer::stop);
}

void ServerLifetime::waitForFirstObject(std::chrono::milliseconds wait)
{
    if (startedByBus() && FRegistry.count() == 0)
        FFirstObjectWait.start(wait);
}

void ServerLifetime::firstObjectWaitPassed()
{
    if (FRegistry.count() == 0)
        emit endRequested();
}

void ServerLifetime::watchConnection(const QDBusConnection& connection)
{
    if (!startedByBus())
        return;
    FConnection = connection;
    FConnectionCheck.start(1000);
}

void ServerLifetime::lastReleased()
{
    // An object may have been created again while the notice was queued.
    if (startedByBus() && FRegistry.count() == 0)
        emit endRequested();
}

void ServerLifetime::checkConnection()
{
    if (!FConnection.isConnected()) {
        FConnectionCheck.stop();
        emit endRequested();
    }
}

} // namespace karvel::server
