#include "sqlite_db.h"

#include <sqlite3.h>

namespace karvel {

TSqliteDb::~TSqliteDb()
{
    Close();
}

bool TSqliteDb::Open(const std::string& path, bool readOnly)
{
    Close();
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
        SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        error_ = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        errorCode_ = rc;
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_extended_result_codes(db_, 0);
    // A writer of another connection holds the lock only for one short transaction.
    sqlite3_busy_timeout(db_, 2000);
    return true;
}

void TSqliteDb::Close()
{
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

void TSqliteDb::SetError(int code)
{
    errorCode_ = code;
    error_ = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
}

bool TSqliteDb::Exec(std::string_view sql)
{
    if (!db_) {
        SetError(SQLITE_MISUSE);
        return false;
    }
    const std::string text(sql);
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        SetError(rc);
        return false;
    }
    return true;
}

int64_t TSqliteDb::QueryInt(std::string_view sql, int64_t fallback)
{
    TSqliteStatement query(*this, sql);
    if (!query.Valid() || !query.Step())
        return fallback;
    return query.Int(0);
}

int64_t TSqliteDb::LastInsertRowId() const
{
    return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

int TSqliteDb::Changes() const
{
    return db_ ? sqlite3_changes(db_) : 0;
}

TSqliteStatement::TSqliteStatement(TSqliteDb& db, std::string_view sql) : db_(db)
{
    if (!db.db_) {
        db.SetError(SQLITE_MISUSE);
        failed_ = true;
        return;
    }
    const int rc =
        sqlite3_prepare_v2(db.db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        db.SetError(rc);
        failed_ = true;
        stmt_ = nullptr;
    }
}

TSqliteStatement::~TSqliteStatement()
{
    sqlite3_finalize(stmt_);
}

TSqliteStatement& TSqliteStatement::Bind(int index, int64_t value)
{
    if (stmt_)
        sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int index, double value)
{
    if (stmt_)
        sqlite3_bind_double(stmt_, index, value);
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int index, std::string_view text)
{
    if (stmt_)
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    return *this;
}

TSqliteStatement& TSqliteStatement::BindNull(int index)
{
    if (stmt_)
        sqlite3_bind_null(stmt_, index);
    return *this;
}

bool TSqliteStatement::Step()
{
    if (!stmt_)
        return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        failed_ = true;
        db_.SetError(rc);
    }
    return false;
}

bool TSqliteStatement::Run()
{
    if (!stmt_)
        return false;
    Step();
    const bool ok = !failed_;
    Reset();
    return ok;
}

void TSqliteStatement::Reset()
{
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    failed_ = stmt_ == nullptr;
}

int64_t TSqliteStatement::Int(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

double TSqliteStatement::Double(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

std::string TSqliteStatement::Text(int column) const
{
    return std::string(TextView(column));
}

std::string_view TSqliteStatement::TextView(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!text)
        return {};
    return {text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

bool TSqliteStatement::IsNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

TSqliteTransaction::TSqliteTransaction(TSqliteDb& db, bool immediate) : db_(db)
{
    begun_ = db_.Exec(immediate ? "BEGIN IMMEDIATE" : "BEGIN");
}

TSqliteTransaction::~TSqliteTransaction()
{
    if (begun_ && !done_)
        db_.Exec("ROLLBACK");
}

bool TSqliteTransaction::Commit()
{
    if (!begun_ || done_)
        return false;
    done_ = db_.Exec("COMMIT");
    return done_;
}

} // namespace karvel
