#pragma once
// Where every booked change is written before anything is sent: the ledger in the
// program's directory. A change is one short transaction on the window thread; when the
// ledger cannot take it (a full disk, an unwritable folder) the change is kept in memory,
// in order, and written as soon as the ledger takes writes again. The sinks read the
// changes waiting for them from the ledger.

#include "ledger.h"

#include <QString>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace karvel {

class TChangeBook {
public:
    TChangeBook(QString programDir, QString stationId, std::vector<std::string> sinks);

    // Opens (creates) the ledger and imports a journal an earlier version left. False
    // with the reason in LastError() when the ledger cannot be opened; changes are then
    // kept in memory and the ledger is tried again with every change.
    bool Open();
    bool IsOpen() const { return open_; }
    // Whether changes booked from now on wait for the sink as well.
    void SetSink(const std::string& sink, bool on);
    TLedger& Ledger() { return ledger_; }
    const QString& StationId() const { return stationId_; }
    QString Path() const;

    // Writes the change (its time is set here when empty). False when it is kept in
    // memory because the ledger did not take it.
    bool Book(TLedgerChange change);
    // Writes what waits in memory; true when nothing waits there any more.
    bool FlushMemory();
    size_t InMemory() const { return memory_.size(); }
    QString LastError() const { return lastError_; }

    // Changes of the old journal ("account.jnl") imported by the last Open.
    int Imported() const { return imported_; }
    static constexpr const char* kImportedJournalName = "account.jnl.imported";

    // A change was written to the ledger (the sinks have something new to send).
    std::function<void()> OnWritten;

private:
    bool OpenLedger();
    void ImportJournal();
    bool Write(TLedgerChange& change);

    QString programDir_;
    QString stationId_;
    std::vector<std::string> sinks_;
    TLedger ledger_;
    bool open_ = false;
    std::deque<TLedgerChange> memory_;
    QString lastError_;
    int imported_ = 0;
};

} // namespace karvel
