// A small accounting server for the tests: it owns the bus name it is given, makes
// objects through the class factory like any accounting server, and records every call
// it receives. Tests read and steer it through the interface KarvelT.Recorder at
// /Recorder: Calls() -> as, Clear(), SetDelay(u ms), SetFailing(b), DropObjects(), Quit().

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

namespace {

const QString kDispatch = QStringLiteral("KarvelC.IDataControlServ");
const QString kFactory = QStringLiteral("KarvelC.ClassFactory");
const QString kUnknown = QStringLiteral("KarvelC.IUnknown");
const QString kControl = QStringLiteral("KarvelT.Recorder");
const QString kControlPath = QStringLiteral("/Recorder");

QString ArgText(const QVariant& v)
{
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    if (v.typeId() == QMetaType::UChar)
        return QString::number(v.value<uchar>());
    return v.toString();
}

class TRecorder : public QDBusVirtualObject {
public:
    TRecorder(QString name, bool withConnect) : name_(std::move(name)), withConnect_(withConnect)
    {
        factoryPath_ = u'/' + QString(name_).replace(u'.', u'/');
    }

    QString introspect(const QString&) const override { return QString(); }

    bool handleMessage(const QDBusMessage& msg, const QDBusConnection& bus) override
    {
        if (msg.type() != QDBusMessage::MethodCallMessage)
            return false;
        const QString path = msg.path();
        if (path == kControlPath)
            return Control(msg, bus);
        if (path == factoryPath_ && msg.member() == u"CreateObject") {
            const QString object = QStringLiteral("/obj/%1").arg(++made_);
            objects_.insert(object);
            Record(QStringLiteral("CreateObject"));
            return Reply(msg, bus, msg.createReply(QVariant::fromValue(QDBusObjectPath(object))));
        }
        if (!objects_.contains(path))
            return Reply(
                msg, bus,
                msg.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
                                     QStringLiteral("No object at ") + path));
        if (msg.interface() == kUnknown && msg.member() == u"Release") {
            objects_.remove(path);
            Record(QStringLiteral("Release"));
            return Reply(msg, bus, msg.createReply());
        }
        return Dispatch(msg, bus);
    }

private:
    bool Dispatch(const QDBusMessage& msg, const QDBusConnection& bus)
    {
        const QString member = msg.member();
        const bool counts =
            (member.startsWith(u"AddCountLine") || member.startsWith(u"AddQXCountLine")) &&
            member.size() > 0 && member.back() >= u'1' && member.back() <= u'4';
        const bool connect = withConnect_ && member == u"Connect";
        if ((!msg.interface().isEmpty() && msg.interface() != kDispatch) || (!counts && !connect))
            return Reply(
                msg, bus,
                msg.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                     QStringLiteral("No such method ") + member));
        if (msg.signature() != (counts ? u"ysdd" : u"s"))
            return Reply(
                msg, bus,
                msg.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                     QStringLiteral("Wrong arguments ") + msg.signature()));
        if (failing_)
            return Reply(msg, bus,
                         msg.createErrorReply(QStringLiteral("KarvelC.Error.Failed"),
                                              QStringLiteral("refused")));
        QStringList args;
        for (const QVariant& v : msg.arguments())
            args.append(ArgText(v));
        Record(member + u'(' + msg.signature() + QStringLiteral("): ") + args.join(u'|'));
        return Reply(msg, bus, msg.createReply());
    }

    bool Control(const QDBusMessage& msg, const QDBusConnection& bus)
    {
        const QString m = msg.member();
        const QVariantList a = msg.arguments();
        if (m == u"Calls")
            return Send(bus, msg.createReply(QVariant(calls_)));
        if (m == u"Clear")
            calls_.clear();
        else if (m == u"SetDelay" && a.size() == 1)
            delayMs_ = a[0].toInt();
        else if (m == u"SetFailing" && a.size() == 1)
            failing_ = a[0].toBool();
        else if (m == u"DropObjects")
            objects_.clear();
        else if (m == u"Quit")
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        else
            return Send(bus,
                        msg.createErrorReply(
                            QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), m));
        return Send(bus, msg.createReply());
    }

    // Answers after the set delay, so that a caller's time-out can be tried; the
    // control interface keeps answering meanwhile.
    bool Reply(const QDBusMessage&, const QDBusConnection& bus, const QDBusMessage& reply)
    {
        if (delayMs_ <= 0)
            return Send(bus, reply);
        QDBusConnection copy = bus;
        QTimer::singleShot(delayMs_, [copy, reply]() mutable { copy.send(reply); });
        return true;
    }

    static bool Send(QDBusConnection bus, const QDBusMessage& reply)
    {
        bus.send(reply);
        return true;
    }

    void Record(const QString& call) { calls_.append(call); }

    QString name_;
    QString factoryPath_;
    bool withConnect_;
    QSet<QString> objects_;
    int made_ = 0;
    QStringList calls_;
    int delayMs_ = 0;
    bool failing_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--name"));
    const QString name =
        at >= 0 && at + 1 < args.size() ? args[at + 1] : QStringLiteral("KarvelC.DataControlServ");
    TRecorder recorder(name, !args.contains(QStringLiteral("--no-connect")));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QStringLiteral("/"), &recorder, QDBusConnection::SubPath) ||
        !bus.registerService(name)) {
        qWarning("recorder: cannot own %s", qPrintable(name));
        return 1;
    }
    // Started by the bus, the server has no other way to learn that the bus is gone.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&bus] {
        if (!bus.isConnected())
            QCoreApplication::quit();
    });
    watch.start(200);
    return app.exec();
}
