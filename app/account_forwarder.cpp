#include "account_forwarder.h"

#include "account_error.h"

#include <QDBusPendingCallWatcher>

namespace karvel {

TAccountForwarder::TAccountForwarder(std::unique_ptr<TAccountClient> client,
                                     const QString& journalDir, int retryPeriodMs, QObject* parent)
    : QObject(parent), client_(std::move(client)), journal_(journalDir)
{
    retry_.setInterval(retryPeriodMs);
    connect(&retry_, &QTimer::timeout, this, &TAccountForwarder::Resume);
}

TAccountForwarder::~TAccountForwarder() = default;

QString TAccountForwarder::MethodFor(int line)
{
    return QStringLiteral("AddCountLine%1").arg(line);
}

void TAccountForwarder::Book(const TBookedChange& change)
{
    if (journal_.Empty() && !inFlight_ && !client_->NeedsRecreate()) {
        const auto error = client_->Call(
            MethodFor(change.line),
            TAccountClient::CountArgs(change.netNum, change.product, change.countC, change.countD));
        if (!error)
            return;
        lastError_ = *error;
        Keep(change, *error, true);
        retry_.start();
        return;
    }
    // Older changes wait, or the object must be made anew first: this one goes behind.
    Keep(change, lastError_, false);
    Resume();
}

void TAccountForwarder::Keep(const TBookedChange& change, const QString& error, bool report)
{
    const bool durable = journal_.Append(change);
    if ((report || !durable) && OnKept)
        OnKept(change, error, durable);
    outageReported_ = outageReported_ || report;
}

std::optional<QString> TAccountForwarder::Connect(const QString& connection)
{
    return client_->Call(QStringLiteral("Connect"), {connection});
}

QDBusPendingCallWatcher* TAccountForwarder::Watch(const QDBusPendingCall& call)
{
    return new QDBusPendingCallWatcher(call, this); // owned by this object until it reports
}

void TAccountForwarder::Resume()
{
    if (inFlight_)
        return;
    if (journal_.Empty()) {
        retry_.stop();
        return;
    }
    inFlight_ = true;
    if (!client_->NeedsRecreate()) {
        SendFront();
        return;
    }
    auto* watcher = Watch(client_->RecreateAsync());
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (const auto error = client_->FinishRecreate(*w))
            Failed(*error);
        else
            SendFront();
    });
}

void TAccountForwarder::SendFront()
{
    const TBookedChange& c = journal_.Front();
    auto* watcher = Watch(client_->CallAsync(
        MethodFor(c.line), TAccountClient::CountArgs(c.netNum, c.product, c.countC, c.countD)));
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) {
            if (TAccountClient::IsGoneError(w->error().name()))
                client_->MarkGone();
            Failed(AccountErrorText(w->error()));
            return;
        }
        journal_.PopFront();
        if (!journal_.Empty()) {
            SendFront();
            return;
        }
        inFlight_ = false;
        lastError_.clear();
        outageReported_ = false;
        retry_.stop();
        if (OnDrained)
            OnDrained();
    });
}

void TAccountForwarder::Failed(const QString& error)
{
    inFlight_ = false;
    lastError_ = error;
    retry_.start();
    // Changes that went behind without a failed call of their own (the server was seen
    // leaving the bus first) are reported once, when sending them fails.
    if (!outageReported_ && !journal_.Empty()) {
        outageReported_ = true;
        if (OnKept)
            OnKept(journal_.Front(), error, true);
    }
}

} // namespace karvel
