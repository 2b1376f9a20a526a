#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>

#include <functional>

namespace karvel::test {

// Sends a call and runs the event loop until its answer comes, so that a server living
// in this same thread can answer it. An error reply is returned as the message.
QDBusMessage callAndWait(const QDBusConnection& connection, const QDBusMessage& call,
                         int timeoutMs = 25000);

// A method call to `service` at `path`.
QDBusMessage methodCall(const QString& service, const QString& path, const char* interface,
                        const char* member, const QVariantList& arguments = {});

// Runs the event loop until the condition holds or the time is up; the result is the
// condition's last value.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

// The arguments of an accounting call as the main program sends them: ysdd.
QVariantList countArguments(uchar netNum, const QString& product, double countC, double countD);

} // namespace karvel::test
