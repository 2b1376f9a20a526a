#pragma once
// Writes changes into a ledger file the way the ledger itself does (a change and its
// delivery to the bus sink), for tests and benchmarks that need a ledger of known content.

#include "ledger_schema.h"
#include "sqlite_db.h"

#include <cstdint>
#include <memory>
#include <string>

namespace karvel::report::testing {

struct TRow {
    int64_t bookedAtMs = 0;
    int utcOffsetS = 0;
    int line = 1;
    int netNum = 1;
    std::string product;
    double countC = 0;
    double countD = 0;
    int state = 1; // delivery state to "dbus"; -1 for no delivery row
};

class TLedgerRows {
public:
    explicit TLedgerRows(const std::string& path)
    {
        ok_ = db_.Open(path) && db_.Exec("PRAGMA journal_mode=WAL") &&
            db_.Exec(ledger::kCreateV1) && db_.Exec("BEGIN");
        count_ = db_.QueryInt("SELECT count(*) FROM changes");
        change_ = std::make_unique<TSqliteStatement>(
            db_,
            "INSERT INTO changes(change_id, booked_at_ms, utc_offset_s, line, net_num,"
            " product, count_c, count_d) VALUES(?,?,?,?,?,?,?,?)");
        delivery_ = std::make_unique<TSqliteStatement>(
            db_,
            "INSERT INTO deliveries(seq, sink, state, attempts, updated_at_ms)"
            " VALUES(?, 'dbus', ?, ?, ?)");
    }

    bool Add(const TRow& row)
    {
        const std::string id = "station:" + std::to_string(++count_);
        change_->Reset();
        change_->Bind(1, std::string_view(id))
            .Bind(2, row.bookedAtMs)
            .Bind(3, static_cast<int64_t>(row.utcOffsetS))
            .Bind(4, static_cast<int64_t>(row.line))
            .Bind(5, static_cast<int64_t>(row.netNum))
            .Bind(6, std::string_view(row.product))
            .Bind(7, row.countC)
            .Bind(8, row.countD);
        if (!change_->Run())
            return ok_ = false;
        if (row.state < 0)
            return true;
        delivery_->Reset();
        delivery_->Bind(1, db_.LastInsertRowId())
            .Bind(2, static_cast<int64_t>(row.state))
            .Bind(3, static_cast<int64_t>(row.state == 1 ? 1 : 3))
            .Bind(4, row.bookedAtMs);
        if (!delivery_->Run())
            return ok_ = false;
        return true;
    }

    // Commits what was added; further rows go into a new transaction.
    bool Commit() { return ok_ && db_.Exec("COMMIT") && db_.Exec("BEGIN"); }
    bool Ok() const { return ok_; }
    const std::string& Error() const { return db_.LastError(); }
    TSqliteDb& Db() { return db_; }

    ~TLedgerRows()
    {
        change_.reset();
        delivery_.reset();
        db_.Exec("COMMIT");
    }

private:
    TSqliteDb db_;
    std::unique_ptr<TSqliteStatement> change_;
    std::unique_ptr<TSqliteStatement> delivery_;
    int64_t count_ = 0;
    bool ok_ = false;
};

} // namespace karvel::report::testing
