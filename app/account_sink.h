#pragma once
// Delivers the changes of the ledger to the accounting object on the bus, oldest first,
// and records the outcome of each in the ledger. Nothing here waits: every call answers
// through the event loop, bounded by the client's time-out.
//
// The outcome of a failed call decides what comes next:
//  - transient (no answer, no server, an object gone with its server): the change stays
//    waiting, later changes wait behind it, and it is offered again after a pause that
//    grows up to 30 s; a server taking the name on the bus ends the pause at once;
//  - permanent (no such method, arguments the server cannot take), or the server's own
//    error for the third time: the change is set aside with its error, and the next
//    change goes at once.
// A server that offers the extended interface gets AddCount with the change's identity,
// several calls under way at a time; one that does not gets AddCountLine<N>, one call at
// a time, so that a change is repeated at most once after a crash.

#include "account_client.h"
#include "change_book.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace karvel {

class TDbusSink : public QObject {
    Q_OBJECT
public:
    static constexpr int kWindow = 32; // AddCount calls under way at a time
    static constexpr int kBatch = 256; // waiting rows read from the ledger at a time
    static constexpr int kMarkEveryMs = 20; // AddCount answers are written this often

    TDbusSink(std::unique_ptr<TAccountClient> client, TChangeBook& book, int firstPauseMs,
              QObject* parent = nullptr);
    ~TDbusSink() override;

    // Makes the object at start-up (without waiting); OnStartFailed tells when that fails.
    void Start();
    // Something new waits in the ledger, or the sink should look again.
    void Wake();
    // The connection string handed to Connect once, right after the first object is
    // made and before any change.
    void SetConnection(const QString& connection);

    // Changes not yet taken by the server: waiting in the ledger or kept in memory.
    int64_t Waiting();
    bool Sending() const { return !inFlight_.empty() || connecting_; }
    bool Pausing() const { return pause_.isActive(); }
    TAccountClient& Client() { return *client_; }

    // The changes set aside, and the operator's two answers to one of them.
    std::vector<TLedgerDelivery> SetAsideList();
    bool SendAgain(int64_t seq);
    bool Discard(int64_t seq);

    // The first failure of an outage (the change, the error); an empty error: every
    // change kept meanwhile went out.
    std::function<void(const TLedgerChange&, const QString& error)> OnOutage;
    std::function<void()> OnRecovered;
    // A change was set aside.
    std::function<void(const TLedgerChange&, const QString& error)> OnSetAside;
    // The object could not be made at start-up.
    std::function<void(const QString& error)> OnStartFailed;
    // The Connect call failed.
    std::function<void(const QString& error)> OnConnectFailed;
    // The outcome of a call could not be written to the ledger.
    std::function<void(const QString& error)> OnLedgerTrouble;

private:
    void Pump();
    void PumpOnce();
    void Opened(const std::optional<QString>& error, const QString& errorName);
    void SendConnect();
    bool Refill();
    void Send(const TLedgerDelivery& delivery);
    void Answered(int64_t seq, const QDBusMessage& reply);
    void Delivered(int64_t seq);
    void Refused(const TLedgerDelivery& delivery, const QString& error, const QString& name);
    void SetAside(const TLedgerChange& change, const QString& error);
    void Transient(const TLedgerChange& change, const QString& error);
    void StartPause();
    void RetryMarks();

    std::unique_ptr<TAccountClient> client_;
    TChangeBook& book_;
    int firstPauseMs_;
    QTimer pause_;
    int failures_ = 0; // transient failures in a row
    bool halted_ = false; // a transient failure: no new call until the pause is over
    bool outage_ = false; // reported through OnOutage, not yet recovered
    std::optional<QString> connection_;
    bool connecting_ = false;
    bool starting_ = false; // the start-up's object is being made
    std::deque<TLedgerDelivery> queue_; // read from the ledger, not yet sent
    std::map<int64_t, TLedgerDelivery> inFlight_;
    int64_t lastQueued_ = 0; // the highest seq read into the queue or sent
    std::set<int64_t> unmarked_; // delivered, but the ledger did not take the mark yet
    std::map<int64_t, int> ownErrors_; // the server's own errors per change, this run
    bool pumping_ = false;
    QTimer marksTimer_;
    std::vector<std::pair<int64_t, std::string>> attempts_; // failed, not yet written
};

} // namespace karvel
