#include "ledger.h"

#include <chrono>

namespace karvel {

namespace {

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t NowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

std::string TLedger::ChangeId(const std::string& stationId, int64_t seq)
{
    return stationId + ":" + std::to_string(seq);
}

int64_t TLedger::FirstSequence(int64_t nowUs)
{
    // A ledger made anew (the file was deleted) must not give an id again that an earlier
    // ledger of this station gave. Starting above the current time in microseconds does
    // that without any other record: an earlier ledger would have had to book more than
    // one change per microsecond of its life to reach it.
    return nowUs;
}

bool TLedger::Open(const std::string& path, const std::string& stationId)
{
    stationId_ = stationId;
    if (!db_.Open(path))
        return false;
    // WAL keeps readers (the reports) from blocking the writer; FULL makes every commit
    // reach the disk before it returns, so a booked change survives a power cut.
    if (!db_.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;") ||
        !Migrate()) {
        const std::string error = db_.LastError();
        db_.Close();
        return false;
    }
    return true;
}

bool TLedger::Migrate()
{
    const int64_t version = db_.QueryInt("PRAGMA user_version", -1);
    if (version < 0)
        return false;
    if (version > ledger::kSchemaVersion) {
        // Written by a newer program: refuse rather than write rows it may not expect.
        db_.SetLastError("the ledger was written by a newer version of the program (schema " +
                         std::to_string(version) + ")");
        return false;
    }
    if (version == ledger::kSchemaVersion)
        return true;
    TSqliteTransaction tx(db_);
    if (!tx.Begun())
        return false;
    if (version < 1) {
        if (!db_.Exec(ledger::kCreateV1) || !SeedSequence())
            return false;
    }
    // Later versions: one step per version here, each inside this transaction.
    if (!db_.Exec("PRAGMA user_version=" + std::to_string(ledger::kSchemaVersion)))
        return false;
    return tx.Commit();
}

bool TLedger::SeedSequence()
{
    if (db_.QueryInt("SELECT COUNT(*) FROM changes") > 0)
        return true;
    TSqliteStatement seed(db_,
                          "INSERT OR REPLACE INTO sqlite_sequence(name, seq) VALUES('changes', ?)");
    return seed.Bind(1, FirstSequence(NowUs()) - 1).Run();
}

bool TLedger::Append(TLedgerChange& change)
{
    TSqliteTransaction tx(db_);
    if (!tx.Begun())
        return false;
    // The id is made from the sequence number the insert gets, so the row goes in first
    // with a placeholder id that is unique on its own.
    TSqliteStatement insert(db_,
                            "INSERT INTO changes(change_id, booked_at_ms, utc_offset_s, "
                            "line, net_num, product, count_c, count_d) "
                            "VALUES(hex(randomblob(16)), ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, change.bookedAtMs)
        .Bind(2, static_cast<int64_t>(change.utcOffsetS))
        .Bind(3, static_cast<int64_t>(change.line))
        .Bind(4, static_cast<int64_t>(change.netNum))
        .Bind(5, std::string_view(change.product))
        .Bind(6, change.countC)
        .Bind(7, change.countD);
    if (!insert.Run())
        return false;
    const int64_t seq = db_.LastInsertRowId();
    const std::string id = ChangeId(stationId_, seq);
    TSqliteStatement name(db_, "UPDATE changes SET change_id = ? WHERE seq = ?");
    if (!name.Bind(1, std::string_view(id)).Bind(2, seq).Run())
        return false;
    TSqliteStatement deliver(db_,
                             "INSERT INTO deliveries(seq, sink, state, updated_at_ms) "
                             "VALUES(?, ?, 0, ?)");
    const int64_t now = NowMs();
    for (const std::string& sink : sinks_) {
        if (!deliver.Bind(1, seq).Bind(2, std::string_view(sink)).Bind(3, now).Run())
            return false;
    }
    if (!tx.Commit())
        return false;
    change.seq = seq;
    change.changeId = id;
    return true;
}

std::vector<TLedgerDelivery> TLedger::Select(const std::string& sink, int state, int64_t afterSeq,
                                             int limit)
{
    std::vector<TLedgerDelivery> rows;
    TSqliteStatement query(db_,
                           "SELECT c.seq, c.change_id, c.booked_at_ms, c.utc_offset_s, "
                           "c.line, c.net_num, c.product, c.count_c, c.count_d, d.state, "
                           "d.attempts, d.last_error FROM deliveries d "
                           "JOIN changes c ON c.seq = d.seq "
                           "WHERE d.sink = ? AND d.state = ? AND d.seq > ? "
                           "ORDER BY d.seq LIMIT ?");
    query.Bind(1, std::string_view(sink))
        .Bind(2, static_cast<int64_t>(state))
        .Bind(3, afterSeq)
        .Bind(4, static_cast<int64_t>(limit));
    while (query.Step()) {
        TLedgerDelivery row;
        row.change.seq = query.Int(0);
        row.change.changeId = query.Text(1);
        row.change.bookedAtMs = query.Int(2);
        row.change.utcOffsetS = static_cast<int>(query.Int(3));
        row.change.line = static_cast<int>(query.Int(4));
        row.change.netNum = static_cast<int>(query.Int(5));
        row.change.product = query.Text(6);
        row.change.countC = query.Double(7);
        row.change.countD = query.Double(8);
        row.state = static_cast<ledger::TDeliveryState>(query.Int(9));
        row.attempts = static_cast<int>(query.Int(10));
        row.lastError = query.Text(11);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<TLedgerDelivery> TLedger::Waiting(const std::string& sink, int64_t afterSeq, int limit)
{
    return Select(sink, static_cast<int>(ledger::TDeliveryState::Waiting), afterSeq, limit);
}

std::vector<TLedgerDelivery> TLedger::SetAsideList(const std::string& sink)
{
    return Select(sink, static_cast<int>(ledger::TDeliveryState::SetAside), 0, -1);
}

int64_t TLedger::CountInState(const std::string& sink, ledger::TDeliveryState state)
{
    TSqliteStatement query(db_, "SELECT COUNT(*) FROM deliveries WHERE sink = ? AND state = ?");
    query.Bind(1, std::string_view(sink)).Bind(2, static_cast<int64_t>(state));
    return query.Step() ? query.Int(0) : 0;
}

bool TLedger::SetState(int64_t seq, const std::string& sink, ledger::TDeliveryState to,
                       ledger::TDeliveryState from, bool onlyFrom, const std::string* error,
                       bool countAttempt)
{
    TSqliteStatement update(db_,
                            "UPDATE deliveries SET state = ?, "
                            "attempts = attempts + ?, "
                            "last_error = coalesce(?, last_error), updated_at_ms = ? "
                            "WHERE seq = ? AND sink = ? AND (? = 0 OR state = ?)");
    update.Bind(1, static_cast<int64_t>(to)).Bind(2, int64_t {countAttempt ? 1 : 0});
    if (error)
        update.Bind(3, std::string_view(*error));
    else
        update.BindNull(3);
    update.Bind(4, NowMs())
        .Bind(5, seq)
        .Bind(6, std::string_view(sink))
        .Bind(7, int64_t {onlyFrom ? 1 : 0})
        .Bind(8, static_cast<int64_t>(from));
    return update.Run() && db_.Changes() == 1;
}

bool TLedger::MarkDelivered(int64_t seq, const std::string& sink)
{
    using S = ledger::TDeliveryState;
    return SetState(seq, sink, S::Delivered, S::Waiting, true, nullptr, true);
}

bool TLedger::MarkAttempt(int64_t seq, const std::string& sink, const std::string& error)
{
    using S = ledger::TDeliveryState;
    return SetState(seq, sink, S::Waiting, S::Waiting, true, &error, true);
}

bool TLedger::SetAside(int64_t seq, const std::string& sink, const std::string& error)
{
    using S = ledger::TDeliveryState;
    return SetState(seq, sink, S::SetAside, S::Waiting, true, &error, true);
}

bool TLedger::SendAgain(int64_t seq, const std::string& sink)
{
    using S = ledger::TDeliveryState;
    return SetState(seq, sink, S::Waiting, S::SetAside, true, nullptr, false);
}

bool TLedger::Discard(int64_t seq, const std::string& sink)
{
    using S = ledger::TDeliveryState;
    return SetState(seq, sink, S::Discarded, S::SetAside, true, nullptr, false);
}

} // namespace karvel
