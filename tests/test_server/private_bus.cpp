#include "private_bus.h"

#include "bus_call.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace karvel::test {

PrivateBus::PrivateBus(const QProcessEnvironment& extra)
{
    FEnvironment = QProcessEnvironment::systemEnvironment();
    FEnvironment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    FEnvironment.insert(QStringLiteral("HOME"), home());
    FEnvironment.insert(QStringLiteral("XDG_DATA_HOME"), home() + QStringLiteral("/data"));
    // Nothing installed system-wide may answer for our names.
    FEnvironment.insert(QStringLiteral("XDG_DATA_DIRS"), home() + QStringLiteral("/system"));
    FEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home());
    FEnvironment.insert(QStringLiteral("KARVELC_MEMO_LOG"), memoLogPath());
    FEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString& key : extra.keys())
        FEnvironment.insert(key, extra.value(key));
    QDir().mkpath(home() + QStringLiteral("/system"));

    FDaemon.setProcessEnvironment(FEnvironment);
    FDaemon.setProcessChannelMode(QProcess::SeparateChannels);
    FDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--nosyslog"), QStringLiteral("--print-address=1")});
    if (!FDaemon.waitForStarted(10000))
        return;
    // The daemon prints its address as the first line once it listens.
    while (!FDaemon.canReadLine() && FDaemon.waitForReadyRead(10000)) { }
    FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();
    FEnvironment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FAddress);
}

PrivateBus::~PrivateBus()
{
    endServers();
    for (const QString& name : FConnections)
        QDBusConnection::disconnectFromBus(name);
    FDaemon.terminate();
    FDaemon.waitForFinished(10000);
}

void PrivateBus::endServers()
{
    if (!isRunning())
        return;
    // Whatever the bus started and is still there ends with the test.
    QDBusConnection bus = connect(QStringLiteral("cleanup"));
    const QStringList names = bus.interface()->registeredServiceNames().value();
    for (const QString& name : names) {
        if (!name.startsWith(u':'))
            continue;
        const qint64 pid = qint64(bus.interface()->servicePid(name).value());
        if (pid > 0 && pid != qint64(::getpid()) && pid != FDaemon.processId())
            ::kill(pid_t(pid), SIGTERM);
    }
}

void PrivateBus::stopDaemon()
{
    for (const QString& name : FConnections)
        QDBusConnection::disconnectFromBus(name);
    FConnections.clear();
    FDaemon.terminate();
    FDaemon.waitForFinished(10000);
    FAddress.clear();
}

QString PrivateBus::serviceDir() const
{
    return home() + QStringLiteral("/data/dbus-1/services");
}

QString PrivateBus::memoLogPath() const
{
    return home() + QStringLiteral("/memo.txt");
}

QDBusConnection PrivateBus::connect(const QString& connectionName)
{
    FConnections.append(connectionName);
    return QDBusConnection::connectToBus(FAddress, connectionName);
}

qint64 PrivateBus::ownerPid(const QString& name)
{
    QDBusConnection bus = connect(QStringLiteral("pid-query"));
    const auto reply = bus.interface()->servicePid(name);
    return reply.isValid() ? qint64(reply.value()) : 0;
}

int PrivateBus::run(const QString& program, const QStringList& arguments, QString* output)
{
    QProcess process;
    process.setProcessEnvironment(FEnvironment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool processAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (::kill(pid_t(pid), 0) != 0)
        return false;
    // A process that has ended but is not yet reaped is not alive.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) != "Z";
}

} // namespace karvel::test
