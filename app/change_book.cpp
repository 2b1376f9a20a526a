#include "change_book.h"

#include "account_journal.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace karvel {

TChangeBook::TChangeBook(QString programDir, QString stationId, std::vector<std::string> sinks)
    : programDir_(std::move(programDir)), stationId_(std::move(stationId)), sinks_(std::move(sinks))
{ }

QString TChangeBook::Path() const
{
    return QDir(programDir_).filePath(QString::fromLatin1(ledger::kFileName));
}

bool TChangeBook::Open()
{
    return OpenLedger();
}

bool TChangeBook::OpenLedger()
{
    if (open_)
        return true;
    open_ = ledger_.Open(Path().toStdString(), stationId_.toStdString());
    if (!open_) {
        lastError_ = QString::fromStdString(ledger_.LastError());
        return false;
    }
    ledger_.SetSinks(sinks_);
    // The old journal's changes are older than any booked in this run: they go first.
    ImportJournal();
    return true;
}

// The journal of an earlier version holds the changes it could not deliver. Each goes
// into the ledger and is then marked done in the journal, so a crash during the import
// neither loses one nor, except for the one change between the two writes, takes one
// twice. The journal is kept under another name for reference.
void TChangeBook::ImportJournal()
{
    const QString path =
        QDir(programDir_).filePath(QString::fromLatin1(TAccountJournal::kFileName));
    // Its changes were meant for the accounting server: without one configured they stay
    // in the journal for a start that has one.
    const bool forAccounting =
        std::find(sinks_.begin(), sinks_.end(), std::string(ledger::kSinkDbus)) != sinks_.end();
    if (!QFile::exists(path) || !forAccounting)
        return;
    TAccountJournal journal(programDir_);
    while (!journal.Empty()) {
        const TBookedChange& old = journal.Front();
        TLedgerChange change;
        change.line = old.line;
        change.netNum = old.netNum;
        change.product = old.product.toStdString();
        change.countC = old.countC;
        change.countD = old.countD;
        if (!Write(change))
            return; // tried again at the next start; nothing was taken out of the journal
        ++imported_;
        if (journal.Size() == 1)
            break; // the last one: the journal is renamed below instead
        journal.PopFront();
    }
    const QString kept = QDir(programDir_).filePath(QString::fromLatin1(kImportedJournalName));
    QFile::remove(kept);
    if (QFile::rename(path, kept))
        QFile::remove(
            QDir(programDir_).filePath(QString::fromLatin1(TAccountJournal::kDoneFileName)));
}

bool TChangeBook::Write(TLedgerChange& change)
{
    if (change.bookedAtMs == 0) {
        const QDateTime now = QDateTime::currentDateTime();
        change.bookedAtMs = now.toMSecsSinceEpoch();
        change.utcOffsetS = now.offsetFromUtc();
    }
    if (!OpenLedger())
        return false;
    if (ledger_.Append(change))
        return true;
    lastError_ = QString::fromStdString(ledger_.LastError());
    return false;
}

bool TChangeBook::Book(TLedgerChange change)
{
    // Behind changes that already wait in memory, so that the order holds.
    if (!FlushMemory() || !Write(change)) {
        if (change.bookedAtMs == 0) {
            const QDateTime now = QDateTime::currentDateTime();
            change.bookedAtMs = now.toMSecsSinceEpoch();
            change.utcOffsetS = now.offsetFromUtc();
        }
        memory_.push_back(std::move(change));
        return false;
    }
    if (OnWritten)
        OnWritten();
    return true;
}

bool TChangeBook::FlushMemory()
{
    bool wrote = false;
    while (!memory_.empty()) {
        if (!Write(memory_.front()))
            break;
        memory_.pop_front();
        wrote = true;
    }
    if (wrote && OnWritten)
        OnWritten();
    return memory_.empty();
}

void TChangeBook::SetSink(const std::string& sink, bool on)
{
    const auto found = std::find(sinks_.begin(), sinks_.end(), sink);
    if (on && found == sinks_.end())
        sinks_.push_back(sink);
    else if (!on && found != sinks_.end())
        sinks_.erase(found);
    ledger_.SetSinks(sinks_);
}

} // namespace karvel
