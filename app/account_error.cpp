#include "account_error.h"

#include <algorithm>

namespace karvel {

namespace {

QString CodeMeaning(uint32_t code)
{
    switch (code) {
    case kUnknownName:
        return QStringLiteral("Неизвестное имя");
    case kTypeMismatch:
        return QStringLiteral("Несоответствие типа");
    case kClassNotRegistered:
        return QStringLiteral("Класс не зарегистрирован");
    case kInvalidClassString:
        return QStringLiteral("Недопустимая строка класса");
    case kServerUnavailable:
        return QStringLiteral("Сервер учета не отвечает");
    case kDisconnected:
        return QStringLiteral("Объект учета отключен от клиентов");
    case kNoObject:
        return QStringLiteral("Недопустимая операция: объект учета не создан");
    default:
        return QStringLiteral("Ошибка сервера учета");
    }
}

} // namespace

uint32_t AccountErrorCode(const QString& name)
{
    const QString prefix = QStringLiteral("org.freedesktop.DBus.Error.");
    if (!name.startsWith(prefix))
        return kException;
    const QString kind = name.mid(prefix.size());
    if (kind == u"UnknownMethod" || kind == u"UnknownInterface" || kind == u"UnknownProperty")
        return kUnknownName;
    if (kind == u"InvalidArgs" || kind == u"InvalidSignature")
        return kTypeMismatch;
    if (kind == u"ServiceUnknown" || kind == u"NameHasNoOwner" ||
        kind == u"Spawn.ServiceNotFound" || kind == u"Spawn.FileInvalid" ||
        kind == u"Spawn.ExecFailed" || kind == u"Spawn.ChildExited")
        return kClassNotRegistered;
    if (kind == u"UnknownObject")
        return kDisconnected;
    if (kind == u"NoReply" || kind == u"Timeout" || kind == u"TimedOut" ||
        kind == u"Disconnected" || kind == u"NoServer" || kind == u"NoNetwork")
        return kServerUnavailable;
    return kException;
}

TFailureKind FailureKind(const QString& name)
{
    const QString prefix = QStringLiteral("org.freedesktop.DBus.Error.");
    if (!name.startsWith(prefix))
        return TFailureKind::ServerOwn;
    const QString kind = name.mid(prefix.size());
    if (kind == u"UnknownMethod" || kind == u"UnknownInterface" || kind == u"InvalidArgs" ||
        kind == u"InvalidSignature")
        return TFailureKind::Permanent;
    // A bus error about the call's road, not about the change: no answer, no server, a
    // server that failed to start, an object that went with its server, a busy bus.
    if (kind == u"NoReply" || kind == u"Timeout" || kind == u"TimedOut" ||
        kind == u"ServiceUnknown" || kind == u"NameHasNoOwner" || kind == u"Disconnected" ||
        kind == u"NoServer" || kind == u"NoNetwork" || kind == u"UnknownObject" ||
        kind == u"AccessDenied" || kind == u"LimitsExceeded" || kind == u"NoMemory" ||
        kind.startsWith(u"Spawn."))
        return TFailureKind::Transient;
    // org.freedesktop.DBus.Error.Failed and the like: raised by the server itself.
    return TFailureKind::ServerOwn;
}

int BackoffMs(int failures, int firstMs)
{
    int64_t pause = std::max(firstMs, 1);
    for (int i = 1; i < failures && pause < kMaxBackoffMs; ++i)
        pause *= 2;
    return static_cast<int>(std::min<int64_t>(pause, kMaxBackoffMs));
}

QString AccountErrorText(uint32_t code, const QString& detail)
{
    QString text =
        CodeMeaning(code) + QStringLiteral(" (%1h)").arg(QString::number(code, 16).toUpper());
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    return text;
}

QString AccountErrorText(const QDBusError& error)
{
    const QString detail = error.message().isEmpty()
        ? error.name()
        : error.name() + QStringLiteral(": ") + error.message();
    return AccountErrorText(AccountErrorCode(error.name()), detail);
}

} // namespace karvel
