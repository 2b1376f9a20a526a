#include "account_sink.h"

#include "account_error.h"

#include <QDBusPendingCallWatcher>

#include <utility>

namespace karvel {

namespace {

const std::string kSink = ledger::kSinkDbus;

QString ErrorName(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ErrorMessage
        ? reply.errorName()
        : QStringLiteral("org.freedesktop.DBus.Error.NoReply");
}

QString ErrorText(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ErrorMessage
        ? AccountErrorText(QDBusError(reply))
        : AccountErrorText(kServerUnavailable, QString());
}

} // namespace

TDbusSink::TDbusSink(std::unique_ptr<TAccountClient> client, TChangeBook& book, int firstPauseMs,
                     QObject* parent)
    : QObject(parent), client_(std::move(client)), book_(book), firstPauseMs_(firstPauseMs)
{
    pause_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, &TDbusSink::Pump);
    marksTimer_.setSingleShot(true);
    marksTimer_.setInterval(kMarkEveryMs);
    connect(&marksTimer_, &QTimer::timeout, this, &TDbusSink::RetryMarks);
    client_->OnOpened = [this](const std::optional<QString>& error, const QString& name) {
        Opened(error, name);
    };
    // A server that (re)appears on the bus ends the pause: the changes go at once.
    client_->OnServerAppeared = [this] {
        if (pause_.isActive()) {
            pause_.stop();
            Pump();
        }
    };
}

TDbusSink::~TDbusSink()
{
    // Answers already in are written now, so the next start does not send them again.
    RetryMarks();
}

void TDbusSink::Start()
{
    if (client_->Ready() || client_->Opening())
        return;
    starting_ = true;
    client_->Open();
}

void TDbusSink::Wake()
{
    Pump();
}

void TDbusSink::SetConnection(const QString& connection)
{
    connection_ = connection;
}

int64_t TDbusSink::Waiting()
{
    int64_t waiting = static_cast<int64_t>(book_.InMemory());
    if (book_.IsOpen())
        waiting += book_.Ledger().CountInState(kSink, ledger::TDeliveryState::Waiting) -
            static_cast<int64_t>(unmarked_.size());
    return waiting;
}

void TDbusSink::Pump()
{
    if (pumping_ || halted_ || pause_.isActive() || connecting_ || client_->Opening())
        return;
    pumping_ = true;
    PumpOnce();
    pumping_ = false;
}

void TDbusSink::PumpOnce()
{
    if (!book_.FlushMemory() && !book_.IsOpen())
        return; // nothing can be read; the next booked change tries the ledger again
    if (!client_->Ready()) {
        if (!inFlight_.empty())
            return; // the answers still under way come first
        if (!connection_ && queue_.empty() && !Refill())
            return; // nothing to send: no object needed yet
        client_->Open();
        return;
    }
    if (connection_) {
        SendConnect();
        return;
    }
    const size_t window = client_->HasAddCount() ? kWindow : 1;
    while (inFlight_.size() < window && (!queue_.empty() || Refill())) {
        const TLedgerDelivery next = queue_.front();
        queue_.pop_front();
        Send(next);
    }
    if (inFlight_.empty() && queue_.empty() && !unmarked_.empty()) {
        marksTimer_.stop();
        RetryMarks(); // nothing under way: the last answers are written now
    }
    if (inFlight_.empty() && queue_.empty() && outage_) {
        outage_ = false;
        if (OnRecovered)
            OnRecovered();
    }
}

void TDbusSink::Opened(const std::optional<QString>& error, const QString& name)
{
    const bool atStart = std::exchange(starting_, false);
    if (error && atStart && OnStartFailed)
        OnStartFailed(*error);
    if (!error) {
        Pump();
        return;
    }
    (void)name; // whatever the reason, the object is tried again after the pause
    ++failures_;
    if (queue_.empty())
        Refill();
    if (!outage_ && !queue_.empty()) {
        outage_ = true;
        if (OnOutage)
            OnOutage(queue_.front().change, *error);
    }
    StartPause();
}

void TDbusSink::SendConnect()
{
    connecting_ = true;
    const QString connection = *connection_;
    connection_.reset();
    auto* watcher = new QDBusPendingCallWatcher(
        client_->CallAsync(QStringLiteral("Connect"), {connection}), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        connecting_ = false;
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage && OnConnectFailed)
            OnConnectFailed(ErrorText(reply));
        Pump();
    });
}

bool TDbusSink::Refill()
{
    if (!book_.IsOpen())
        return false;
    // Nothing under way: read from the start, so that a change sent again by the
    // operator, or one that failed, is found in its place.
    if (inFlight_.empty() && queue_.empty())
        lastQueued_ = 0;
    for (TLedgerDelivery& row : book_.Ledger().Waiting(kSink, lastQueued_, kBatch)) {
        lastQueued_ = std::max(lastQueued_, row.change.seq);
        if (!unmarked_.contains(row.change.seq) && !inFlight_.contains(row.change.seq))
            queue_.push_back(std::move(row));
    }
    return !queue_.empty();
}

void TDbusSink::Send(const TLedgerDelivery& delivery)
{
    const TLedgerChange& c = delivery.change;
    const QString product = QString::fromStdString(c.product);
    const auto netNum = static_cast<uint8_t>(c.netNum);
    const QDBusPendingCall call = client_->HasAddCount()
        ? client_->CallAsync(
              QString::fromLatin1(TAccountClient::kDispatch2Interface), QStringLiteral("AddCount"),
              TAccountClient::AddCountArgs(c.line, netNum, product, c.countC, c.countD,
                                           QString::fromStdString(c.changeId)))
        : client_->CallAsync(QStringLiteral("AddCountLine%1").arg(c.line),
                             TAccountClient::CountArgs(netNum, product, c.countC, c.countD));
    inFlight_.emplace(c.seq, delivery);
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    const int64_t seq = c.seq;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, seq](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                Answered(seq, w->reply());
            });
}

void TDbusSink::Answered(int64_t seq, const QDBusMessage& reply)
{
    const auto it = inFlight_.find(seq);
    if (it == inFlight_.end())
        return;
    const TLedgerDelivery delivery = it->second;
    inFlight_.erase(it);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        ownErrors_.erase(seq);
        Delivered(seq);
        if (!halted_)
            failures_ = 0;
    } else {
        Refused(delivery, ErrorText(reply), ErrorName(reply));
    }
    if (halted_) {
        if (inFlight_.empty()) {
            // Every answer is in: the rest goes after the pause, from the first change
            // still waiting.
            queue_.clear();
            StartPause();
        }
        return;
    }
    Pump();
}

void TDbusSink::Delivered(int64_t seq)
{
    // Kept in memory until written, so that it is not read and sent again.
    unmarked_.insert(seq);
    if (!client_->HasAddCount()) {
        // One call at a time, each marked before the next goes: a crash repeats at most
        // the one change under way, as a server without identities cannot tell.
        RetryMarks();
        return;
    }
    // Answers are marked together, one transaction (one write to the disk) every few
    // milliseconds; a crash before it only repeats identities the server books once.
    if (!marksTimer_.isActive())
        marksTimer_.start();
}

void TDbusSink::RetryMarks()
{
    if ((unmarked_.empty() && attempts_.empty()) || !book_.IsOpen())
        return;
    TLedger& ledger = book_.Ledger();
    TSqliteTransaction tx(ledger.Db());
    bool ok = tx.Begun();
    for (int64_t seq : unmarked_)
        ok = ok && ledger.MarkDelivered(seq, kSink);
    for (const auto& [seq, error] : attempts_)
        ok = ok && ledger.MarkAttempt(seq, kSink, error);
    if (ok && tx.Commit()) {
        unmarked_.clear();
        attempts_.clear();
        return;
    }
    marksTimer_.start(); // tried again; meanwhile the changes are not sent again
    if (OnLedgerTrouble)
        OnLedgerTrouble(QString::fromStdString(ledger.LastError()));
}

void TDbusSink::Refused(const TLedgerDelivery& delivery, const QString& error, const QString& name)
{
    if (TAccountClient::IsGoneError(name))
        client_->MarkGone();
    const TLedgerChange& change = delivery.change;
    switch (FailureKind(name)) {
    case TFailureKind::Permanent:
        SetAside(change, error);
        return;
    case TFailureKind::ServerOwn:
        // Counted apart from time-outs and outages, which say nothing of the change.
        if (++ownErrors_[change.seq] >= kServerErrorAttempts) {
            ownErrors_.erase(change.seq);
            SetAside(change, error);
            return;
        }
        Transient(change, error);
        return;
    case TFailureKind::Transient:
        Transient(change, error);
        return;
    }
}

void TDbusSink::SetAside(const TLedgerChange& change, const QString& error)
{
    if (!book_.Ledger().SetAside(change.seq, kSink, error.toStdString()) && OnLedgerTrouble)
        OnLedgerTrouble(QString::fromStdString(book_.Ledger().LastError()));
    if (OnSetAside)
        OnSetAside(change, error);
}

void TDbusSink::Transient(const TLedgerChange& change, const QString& error)
{
    // Written with the other failures of this round when the pause starts: the calls
    // under way time out together, and one write to the disk is enough for them.
    attempts_.emplace_back(change.seq, error.toStdString());
    if (!halted_)
        ++failures_;
    halted_ = true;
    if (!outage_) {
        outage_ = true;
        if (OnOutage)
            OnOutage(change, error);
    }
}

void TDbusSink::StartPause()
{
    RetryMarks();
    halted_ = false;
    pause_.start(BackoffMs(failures_, firstPauseMs_));
}

std::vector<TLedgerDelivery> TDbusSink::SetAsideList()
{
    if (!book_.IsOpen())
        return {};
    return book_.Ledger().SetAsideList(kSink);
}

bool TDbusSink::SendAgain(int64_t seq)
{
    if (!book_.IsOpen() || !book_.Ledger().SendAgain(seq, kSink))
        return false;
    Pump();
    return true;
}

bool TDbusSink::Discard(int64_t seq)
{
    return book_.IsOpen() && book_.Ledger().Discard(seq, kSink);
}

} // namespace karvel
