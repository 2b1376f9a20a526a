#include "bus_call.h"

#include <QCoreApplication>
#include <QDBusPendingCallWatcher>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace karvel::test {

QDBusMessage callAndWait(const QDBusConnection& connection, const QDBusMessage& call, int timeoutMs)
{
    QDBusPendingCall pending = connection.asyncCall(call, timeoutMs);
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!watcher.isFinished())
        loop.exec();
    return pending.reply();
}

QDBusMessage methodCall(const QString& service, const QString& path, const char* interface,
                        const char* member, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, path, QString::fromLatin1(interface), QString::fromLatin1(member));
    message.setArguments(arguments);
    return message;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

QVariantList countArguments(uchar netNum, const QString& product, double countC, double countD)
{
    return {QVariant::fromValue(netNum), product, countC, countD};
}

} // namespace karvel::test
