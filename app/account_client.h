#pragma once
// The accounting automation object on the D-Bus session bus: created by program
// identifier (CreateObject on the class factory; the bus starts the server when nobody
// owns the name), looked at once through its introspection (does it offer the extended
// interface?), called by method name with positional arguments, released at the end.
// No call ever waits: each one is bounded by the time-out and answers through the event
// loop, so the window thread and the polling of the lines go on meanwhile.

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

namespace karvel {

class TAccountClient : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kFactoryInterface = "KarvelC.ClassFactory";
    static constexpr const char* kDispatchInterface = "KarvelC.IDataControlServ";
    static constexpr const char* kDispatch2Interface = "KarvelC.IDataControlServ2";
    static constexpr const char* kUnknownInterface = "KarvelC.IUnknown";

    TAccountClient(QString progId, int timeoutMs,
                   QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    // Releases the object without waiting for the answer.
    ~TAccountClient() override;
    TAccountClient(const TAccountClient&) = delete;
    TAccountClient& operator=(const TAccountClient&) = delete;

    // The error text when the identifier cannot name a server on the bus at all.
    static std::optional<QString> CheckIdentifier(const QString& progId);

    const QString& ProgId() const { return progId_; }
    const QString& ObjectPath() const { return path_; }
    int TimeoutMs() const { return timeoutMs_; }
    void SetTimeoutMs(int ms) { timeoutMs_ = ms; }

    // Whether an object is ready for calls.
    bool Ready() const { return !path_.isEmpty() && !gone_; }
    bool Opening() const { return opening_; }
    // The object offers KarvelC.IDataControlServ2.AddCount (learnt when it was made).
    bool HasAddCount() const { return hasAddCount_; }

    // Makes the object (again) without waiting; OnOpened tells how it went.
    void Open();
    // nullopt: ready. Otherwise the error text and the bus's error name.
    std::function<void(const std::optional<QString>& error, const QString& errorName)> OnOpened;
    // A server took the identifier on the bus (started, or started again).
    std::function<void()> OnServerAppeared;

    // A call on the object; the answer arrives through the event loop.
    QDBusPendingCall CallAsync(const QString& interface, const QString& method,
                               const QVariantList& args);
    QDBusPendingCall CallAsync(const QString& method, const QVariantList& args)
    {
        return CallAsync(QString::fromLatin1(kDispatchInterface), method, args);
    }

    // Whether the object must be made anew before the next call: its server went away
    // or was replaced by another one, or the object was dropped. Learnt from the bus's
    // name owner changes and from failed calls; asking costs nothing.
    bool NeedsRecreate() const { return !Ready(); }
    void MarkGone() { gone_ = true; }

    // Releases the object without waiting for the answer.
    void Release();

    // The arguments of AddCountLineN: (NetNum y, Product s, Count_C d, Count_D d).
    static QVariantList CountArgs(uint8_t netNum, const QString& product, double countC,
                                  double countD);
    // The arguments of AddCount: (line y, netnum y, product s, count_c d, count_d d,
    // change_id s).
    static QVariantList AddCountArgs(int line, uint8_t netNum, const QString& product,
                                     double countC, double countD, const QString& changeId);
    static bool IsGoneError(const QString& dbusErrorName);
    // Whether introspection data offers AddCount with the arguments yysdds.
    static bool OffersAddCount(const QString& introspectionXml);

private:
    QDBusMessage FactoryCall() const;
    QDBusMessage MethodCall(const QString& interface, const QString& method,
                            const QVariantList& args) const;
    void Created(const QDBusMessage& reply);
    void Introspected(const QDBusMessage& reply);
    void Opened(const std::optional<QString>& error, const QString& errorName);
    void Watch(const QDBusPendingCall& call, void (TAccountClient::*handler)(const QDBusMessage&));

    QDBusConnection bus_;
    QString progId_;
    int timeoutMs_;
    QString path_;
    QString owner_; // unique name of the server that made the object
    bool gone_ = false;
    bool opening_ = false;
    bool hasAddCount_ = false;
    std::unique_ptr<QDBusServiceWatcher> watcher_;
};

} // namespace karvel
