#pragma once
// Forwards booked changes to the accounting object. A change goes out at once while
// nothing waits; when the call fails or times out it is kept in the journal, and the
// journal is sent in order, before any newer change, as soon as calls succeed again:
// started by the next change and by a periodic retry. Journal forwarding never waits
// for an answer, so polling goes on meanwhile.

#include "account_client.h"
#include "account_journal.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QDBusPendingCallWatcher;

namespace karvel {

class TAccountForwarder : public QObject {
    Q_OBJECT
public:
    TAccountForwarder(std::unique_ptr<TAccountClient> client, const QString& journalDir,
                      int retryPeriodMs, QObject* parent = nullptr);
    ~TAccountForwarder() override;

    // Calls AddCountLine<line>(NetNum, Product, Count_C, Count_D).
    void Book(const TBookedChange& change);
    // The start-up call with the connection string.
    std::optional<QString> Connect(const QString& connection);
    // Starts sending what the journal holds (left by an earlier run).
    void Resume();

    size_t Waiting() const { return journal_.Size(); }
    bool Sending() const { return inFlight_; }
    TAccountClient& Client() { return *client_; }

    // A change was kept in the journal because its call failed: the change, the failure
    // and whether the journal reached the disk.
    std::function<void(const TBookedChange&, const QString& error, bool durable)> OnKept;
    // The journal was sent out completely.
    std::function<void()> OnDrained;

    static QString MethodFor(int line);

private:
    void Keep(const TBookedChange& change, const QString& error, bool report);
    void SendFront();
    void Failed(const QString& error);
    QDBusPendingCallWatcher* Watch(const QDBusPendingCall& call);

    std::unique_ptr<TAccountClient> client_;
    TAccountJournal journal_;
    QTimer retry_;
    bool inFlight_ = false;
    bool outageReported_ = false; // this outage was told through OnKept
    QString lastError_;
};

} // namespace karvel
