#pragma once
// The ledger of booked changes: every change is on the disk, with its identity, before any
// sink is asked to deliver it, and each sink's progress is kept beside it. One object per
// thread (it owns its connection); no Qt.

#include "ledger_schema.h"
#include "sqlite_db.h"

#include <cstdint>
#include <string>
#include <vector>

namespace karvel {

struct TLedgerChange {
    int64_t seq = 0; // given by Append
    std::string changeId; // "<station id>:<seq>", given by Append
    int64_t bookedAtMs = 0;
    int utcOffsetS = 0;
    int line = 0; // 1..4
    int netNum = 0;
    std::string product; // UTF-8
    double countC = 0;
    double countD = 0;
};

struct TLedgerDelivery {
    TLedgerChange change;
    ledger::TDeliveryState state = ledger::TDeliveryState::Waiting;
    int attempts = 0;
    std::string lastError;
};

class TLedger {
public:
    // Opens the file (creating or migrating it) for the station whose ids it gives.
    bool Open(const std::string& path, const std::string& stationId);
    bool IsOpen() const { return db_.IsOpen(); }
    void Close() { db_.Close(); }
    // The sinks that get a waiting delivery for each change appended from now on.
    void SetSinks(std::vector<std::string> sinks) { sinks_ = std::move(sinks); }

    // One transaction: the change and a waiting delivery per sink; fills seq and changeId.
    bool Append(TLedgerChange& change);

    // Waiting deliveries of a sink after a sequence number, oldest first.
    std::vector<TLedgerDelivery> Waiting(const std::string& sink, int64_t afterSeq, int limit);
    std::vector<TLedgerDelivery> SetAsideList(const std::string& sink);
    int64_t CountInState(const std::string& sink, ledger::TDeliveryState state);

    bool MarkDelivered(int64_t seq, const std::string& sink);
    // A failed attempt that will be tried again: one more attempt and its error.
    bool MarkAttempt(int64_t seq, const std::string& sink, const std::string& error);
    bool SetAside(int64_t seq, const std::string& sink, const std::string& error);
    // A change set aside goes back to waiting (at its place in the order).
    bool SendAgain(int64_t seq, const std::string& sink);
    // A change set aside is given up; the row stays, marked discarded.
    bool Discard(int64_t seq, const std::string& sink);

    const std::string& LastError() const { return db_.LastError(); }
    int LastErrorCode() const { return db_.LastErrorCode(); }
    const std::string& StationId() const { return stationId_; }
    TSqliteDb& Db() { return db_; }

    static std::string ChangeId(const std::string& stationId, int64_t seq);
    // The first sequence number of a new ledger file.
    static int64_t FirstSequence(int64_t nowUs);

private:
    bool Migrate();
    bool SeedSequence();
    bool SetState(int64_t seq, const std::string& sink, ledger::TDeliveryState to,
                  ledger::TDeliveryState from, bool onlyFrom, const std::string* error,
                  bool countAttempt);
    std::vector<TLedgerDelivery> Select(const std::string& sink, int state, int64_t afterSeq,
                                        int limit);

    TSqliteDb db_;
    std::string stationId_;
    std::vector<std::string> sinks_;
};

} // namespace karvel
