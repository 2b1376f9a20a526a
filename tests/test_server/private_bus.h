#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <memory>

namespace karvel::test {

// A session bus daemon of the test's own, in a temporary home: its per-user service
// directory is <home>/data/dbus-1/services (through XDG_DATA_HOME, as on a desktop), the
// system-wide directories are empty, and servers it starts inherit `environment()`.
class PrivateBus {
public:
    explicit PrivateBus(const QProcessEnvironment& extra = {});
    ~PrivateBus();

    bool isRunning() const { return !FAddress.isEmpty(); }
    QString address() const { return FAddress; }
    QString home() const { return FHome.path(); }
    QString serviceDir() const;
    QString memoLogPath() const;
    // The environment of the daemon (and so of every server it starts).
    QProcessEnvironment environment() const { return FEnvironment; }

    // A new client connection to this bus.
    QDBusConnection connect(const QString& connectionName);
    // The process id owning a name, 0 when nobody does.
    qint64 ownerPid(const QString& name);

    // Runs a program to its end with the bus's environment; returns its exit code.
    int run(const QString& program, const QStringList& arguments, QString* output = nullptr);

    // Ends every process still connected to the bus other than this one.
    void endServers();
    // Stops the daemon alone, as at the end of a desktop session.
    void stopDaemon();

private:
    QTemporaryDir FHome;
    QProcessEnvironment FEnvironment;
    QProcess FDaemon;
    QString FAddress;
    QStringList FConnections;
};

bool processAlive(qint64 pid);

} // namespace karvel::test
