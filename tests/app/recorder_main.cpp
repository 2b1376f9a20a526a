// A small accounting server for the tests: it owns the bus name it is given, makes
// objects through the class factory like any accounting server, and records every call
// it receives. Tests read and steer it through the interface KarvelT.Recorder at
// /Recorder: Calls() -> as, Clear(), SetDelay(u ms), SetCountDelay(u ms: only the
// accounting calls), SetFailing(b), DropObjects(), Quit(),
// SetRefused(s product, s error name): calls for that product get that error.
// With --addcount its objects also offer KarvelC.IDataControlServ2.AddCount and book
// each change identity once (a repeat is answered, not recorded).

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <algorithm>

namespace {

const QString kDispatch = QStringLiteral("KarvelC.IDataControlServ");
const QString kFactory = QStringLiteral("KarvelC.ClassFactory");
const QString kUnknown = QStringLiteral("KarvelC.IUnknown");
const QString kDispatch2 = QStringLiteral("KarvelC.IDataControlServ2");
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
    TRecorder(QString name, bool withConnect, bool withAddCount)
        : name_(std::move(name)), withConnect_(withConnect), withAddCount_(withAddCount)
    {
        factoryPath_ = u'/' + QString(name_).replace(u'.', u'/');
    }

    QString introspect(const QString& path) const override
    {
        if (!withAddCount_ || !objects_.contains(path))
            return QString();
        return QStringLiteral("  <interface name=\"%1\">\n"
                              "    <method name=\"AddCount\">\n"
                              "      <arg name=\"line\" type=\"y\" direction=\"in\"/>\n"
                              "      <arg name=\"netnum\" type=\"y\" direction=\"in\"/>\n"
                              "      <arg name=\"product\" type=\"s\" direction=\"in\"/>\n"
                              "      <arg name=\"count_c\" type=\"d\" direction=\"in\"/>\n"
                              "      <arg name=\"count_d\" type=\"d\" direction=\"in\"/>\n"
                              "      <arg name=\"change_id\" type=\"s\" direction=\"in\"/>\n"
                              "    </method>\n"
                              "  </interface>\n")
            .arg(kDispatch2);
    }

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
        if (msg.member() == u"Introspect")
            return Reply(msg, bus,
                         msg.createReply(QStringLiteral("<node>\n") + introspect(path) +
                                         QStringLiteral("</node>\n")));
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
        if (withAddCount_ && msg.interface() == kDispatch2 && member == u"AddCount")
            return AddCount(msg, bus);
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
        if (counts && msg.arguments().value(1).toString() == refusedProduct_)
            return Reply(msg, bus, msg.createErrorReply(refusedError_, QStringLiteral("refused")));
        QStringList args;
        for (const QVariant& v : msg.arguments())
            args.append(ArgText(v));
        Record(member + u'(' + msg.signature() + QStringLiteral("): ") + args.join(u'|'));
        return Reply(msg, bus, msg.createReply());
    }

    bool AddCount(const QDBusMessage& msg, const QDBusConnection& bus)
    {
        if (msg.signature() != u"yysdds")
            return Reply(
                msg, bus,
                msg.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                     QStringLiteral("Wrong arguments ") + msg.signature()));
        if (failing_)
            return Reply(msg, bus,
                         msg.createErrorReply(QStringLiteral("KarvelC.Error.Failed"),
                                              QStringLiteral("refused")));
        if (msg.arguments().value(2).toString() == refusedProduct_)
            return Reply(msg, bus, msg.createErrorReply(refusedError_, QStringLiteral("refused")));
        const QString id = msg.arguments().value(5).toString();
        if (!booked_.contains(id)) {
            booked_.insert(id);
            QStringList args;
            for (const QVariant& v : msg.arguments())
                args.append(ArgText(v));
            Record(QStringLiteral("AddCount(yysdds): ") + args.join(u'|'));
        }
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
        else if (m == u"SetCountDelay" && a.size() == 1)
            countDelayMs_ = a[0].toInt();
        else if (m == u"SetFailing" && a.size() == 1)
            failing_ = a[0].toBool();
        else if (m == u"SetRefused" && a.size() == 2) {
            refusedProduct_ = a[0].toString();
            refusedError_ = a[1].toString();
        } else if (m == u"DropObjects")
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
    bool Reply(const QDBusMessage& msg, const QDBusConnection& bus, const QDBusMessage& reply)
    {
        const bool count =
            msg.member().startsWith(u"AddCount") || msg.member().startsWith(u"AddQX");
        const int delay = std::max(delayMs_, count ? countDelayMs_ : 0);
        if (delay <= 0)
            return Send(bus, reply);
        QDBusConnection copy = bus;
        QTimer::singleShot(delay, [copy, reply]() mutable { copy.send(reply); });
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
    bool withAddCount_;
    QSet<QString> booked_;
    QString refusedProduct_ = QStringLiteral("\x01none");
    QString refusedError_;
    QSet<QString> objects_;
    int made_ = 0;
    QStringList calls_;
    int delayMs_ = 0;
    int countDelayMs_ = 0; // only the answers of the accounting calls
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
    TRecorder recorder(name, !args.contains(QStringLiteral("--no-connect")),
                       args.contains(QStringLiteral("--addcount")));
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
