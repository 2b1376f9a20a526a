#pragma once
// The accounting automation object on the D-Bus session bus: created by program
// identifier (the bus name; started by bus activation when nobody owns it, then
// CreateObject on its class factory), called by method name with positional arguments,
// released at the end. Every call is bounded by a time-out.

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QString>
#include <QVariantList>

#include <memory>
#include <optional>

namespace karvel {

class TAccountClient {
public:
    static constexpr const char* kFactoryInterface = "KarvelC.ClassFactory";
    static constexpr const char* kDispatchInterface = "KarvelC.IDataControlServ";
    static constexpr const char* kUnknownInterface = "KarvelC.IUnknown";
    static constexpr int kActivationTimeoutMs = 25000; // the bus's own limit for a start

    // The object, or the error text (with its automation code) in `error`.
    static std::unique_ptr<TAccountClient> Create(
        const QString& progId, int timeoutMs, QString& error,
        QDBusConnection bus = QDBusConnection::sessionBus());
    // Releases the object.
    ~TAccountClient();
    TAccountClient(const TAccountClient&) = delete;
    TAccountClient& operator=(const TAccountClient&) = delete;

    const QString& ProgId() const { return progId_; }
    const QString& ObjectPath() const { return path_; }
    int TimeoutMs() const { return timeoutMs_; }
    void SetTimeoutMs(int ms) { timeoutMs_ = ms; }

    // A call that waits for the answer, at most the time-out; nullopt on success.
    std::optional<QString> Call(const QString& method, const QVariantList& args);
    // The same call without waiting; the answer arrives through the event loop.
    QDBusPendingCall CallAsync(const QString& method, const QVariantList& args);

    // Whether the object must be made anew before the next call: its server went away
    // or was replaced by another one, or the object was dropped. Learnt from the bus's
    // name owner changes and from failed calls; asking costs nothing.
    bool NeedsRecreate() const { return gone_; }
    void MarkGone() { gone_ = true; }
    // Makes the object anew from the class factory without waiting.
    QDBusPendingCall RecreateAsync();
    // Takes the answer of RecreateAsync; nullopt on success.
    std::optional<QString> FinishRecreate(const QDBusPendingCall& call);

    void Release();

    // The arguments of AddCountLineN: (NetNum y, Product s, Count_C d, Count_D d).
    static QVariantList CountArgs(uint8_t netNum, const QString& product, double countC,
                                  double countD);
    static bool IsGoneError(const QString& dbusErrorName);

private:
    TAccountClient(QDBusConnection bus, QString progId, int timeoutMs);
    QDBusMessage FactoryCall() const;
    QDBusMessage MethodCall(const QString& interface, const QString& method,
                            const QVariantList& args) const;
    std::optional<QString> TakeObject(const QDBusMessage& reply);
    QString CurrentOwner() const;

    QDBusConnection bus_;
    QString progId_;
    int timeoutMs_;
    QString path_;
    QString owner_; // unique name of the server that made the object
    bool gone_ = false;
    std::unique_ptr<QDBusServiceWatcher> watcher_;
};

} // namespace karvel
