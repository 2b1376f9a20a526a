#include "server_lifetime.h"

namespace karvel::server {

ServerLifetime::ServerLifetime(StartMode mode, const ObjectRegistry& registry, QObject* parent)
    : QObject(parent), mode_(mode), registry_(registry)
{
    connect(&registry, &ObjectRegistry::lastReleased, this, &ServerLifetime::lastReleased,
            Qt::QueuedConnection);
    connect(&connectionCheck_, &QTimer::timeout, this, &ServerLifetime::checkConnection);
    firstObjectWait_.setSingleShot(true);
    connect(&firstObjectWait_, &QTimer::timeout, this, &ServerLifetime::firstObjectWaitPassed);
    connect(&registry, &ObjectRegistry::objectCountChanged, &firstObjectWait_, &QTimer::stop);
}

void ServerLifetime::waitForFirstObject(std::chrono::milliseconds wait)
{
    if (startedByBus() && registry_.count() == 0)
        firstObjectWait_.start(wait);
}

void ServerLifetime::firstObjectWaitPassed()
{
    if (registry_.count() == 0)
        emit endRequested();
}

void ServerLifetime::watchConnection(const QDBusConnection& connection)
{
    if (!startedByBus())
        return;
    connection_ = connection;
    connectionCheck_.start(1000);
}

void ServerLifetime::lastReleased()
{
    // An object may have been created again while the notice was queued.
    if (startedByBus() && registry_.count() == 0)
        emit endRequested();
}

void ServerLifetime::checkConnection()
{
    if (!connection_.isConnected()) {
        connectionCheck_.stop();
        emit endRequested();
    }
}

} // namespace karvel::server
