#include "port_links.h"

#include "serial_device.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace karvel {

namespace {

QString Canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

QString Label(const QString& byIdName, const TSerialPortEntry* port)
{
    QString label = byIdName.isEmpty() ? port->systemLocation : byIdName;
    if (port == nullptr)
        return label;
    QStringList about;
    if (!port->manufacturer.isEmpty())
        about << port->manufacturer;
    if (!port->serialNumber.isEmpty())
        about << QStringLiteral("№ %1").arg(port->serialNumber);
    if (!byIdName.isEmpty())
        about << port->systemLocation;
    if (!about.isEmpty())
        label += QStringLiteral(" (%1)").arg(about.join(QStringLiteral(", ")));
    return label;
}

} // namespace

QList<TSerialPortEntry> SystemSerialPorts()
{
    QList<TSerialPortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append(
            {info.systemLocation(), info.manufacturer(), info.serialNumber(), info.description()});
    return ports;
}

QList<TPortDevice> PortDevices(const QList<TSerialPortEntry>& ports, const QString& byIdDir)
{
    const QDir dir(byIdDir);
    const QFileInfoList byId = dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    QList<bool> used(byId.size(), false);
    QList<TPortDevice> devices;
    for (const TSerialPortEntry& port : ports) {
        const QString target = Canonical(port.systemLocation);
        QString name;
        for (qsizetype i = 0; i < byId.size(); ++i) {
            if (!target.isEmpty() && Canonical(byId[i].absoluteFilePath()) == target) {
                name = byId[i].fileName();
                used[i] = true;
                break;
            }
        }
        devices.append(
            {name.isEmpty() ? port.systemLocation : dir.filePath(name), Label(name, &port)});
    }
    for (qsizetype i = 0; i < byId.size(); ++i) {
        if (!used[i])
            devices.append({byId[i].absoluteFilePath(), byId[i].fileName()});
    }
    std::sort(devices.begin(), devices.end(),
              [](const TPortDevice& a, const TPortDevice& b) { return a.label < b.label; });
    return devices;
}

QString PortDeviceText(int number)
{
    const QString link = QString::fromStdString(ComLinkPath(number));
    if (!ComLinkPresent(number))
        return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    const QString target = QFileInfo(link).symLinkTarget();
    return target.isEmpty() ? link : target;
}

bool WritePortLink(int number, const QString& target, QString& error)
{
    const QString link = QString::fromStdString(ComLinkPath(number));
    if (link.isEmpty()) {
        error = QStringLiteral("Нет порта с номером %1").arg(number);
        return false;
    }
    if (target.isEmpty()) {
        if (ComLinkPresent(number) && !QFile::remove(link)) {
            error = QStringLiteral("Ссылка %1 не удалена").arg(link);
            return false;
        }
        return true;
    }
    const QFileInfo info(link);
    if (!QDir().mkpath(info.absolutePath())) {
        error = QStringLiteral("Папка %1 не создана").arg(info.absolutePath());
        return false;
    }
    // A new link under a temporary name, renamed over the old one: a line that opens the
    // port meanwhile finds either the old device or the new one, never no link at all.
    const QString temporary = link + QStringLiteral(".new");
    QFile::remove(temporary);
    if (::symlink(QFile::encodeName(target).constData(),
                  QFile::encodeName(temporary).constData()) != 0 ||
        ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(link).constData()) !=
            0) {
        error = QStringLiteral("Ссылка %1 -> %2 не записана: %3")
                    .arg(link, target, QString::fromLocal8Bit(strerror(errno)));
        QFile::remove(temporary);
        return false;
    }
    return true;
}

} // namespace karvel
