#pragma once
// A thin owner of an SQLite connection and its prepared statements. No Qt: the ledger and
// the reports use it from any thread, one connection per thread. Errors follow one rule:
// a call that fails returns false (or an empty result) and LastError() tells why.

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace karvel {

class TSqliteStatement;

class TSqliteDb {
public:
    TSqliteDb() = default;
    ~TSqliteDb();
    TSqliteDb(const TSqliteDb&) = delete;
    TSqliteDb& operator=(const TSqliteDb&) = delete;

    // Opens (and creates when missing, unless readOnly) the file at path.
    bool Open(const std::string& path, bool readOnly = false);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }

    // Runs one or more statements that return no rows.
    bool Exec(std::string_view sql);
    // A single integer result of a query such as "PRAGMA user_version"; fallback when the
    // query fails or returns no row.
    int64_t QueryInt(std::string_view sql, int64_t fallback = 0);

    int64_t LastInsertRowId() const;
    int Changes() const;
    const std::string& LastError() const { return error_; }
    // SQLite's primary result code of the last failure (SQLITE_FULL, SQLITE_BUSY...).
    int LastErrorCode() const { return errorCode_; }
    // An error of the caller's own, reported through LastError() like SQLite's.
    void SetLastError(std::string text)
    {
        error_ = std::move(text);
        errorCode_ = -1;
    }

    sqlite3* Handle() const { return db_; }

private:
    friend class TSqliteStatement;
    void SetError(int code);

    sqlite3* db_ = nullptr;
    std::string error_;
    int errorCode_ = 0;
};

class TSqliteStatement {
public:
    TSqliteStatement(TSqliteDb& db, std::string_view sql);
    ~TSqliteStatement();
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    bool Valid() const { return stmt_ != nullptr; }

    // Parameters are numbered from 1, as in SQLite.
    TSqliteStatement& Bind(int index, int64_t value);
    TSqliteStatement& Bind(int index, double value);
    TSqliteStatement& Bind(int index, std::string_view text);
    TSqliteStatement& BindNull(int index);

    // True while a row is available; false at the end or on an error (see Failed()).
    bool Step();
    // Runs a statement that returns no rows; false on an error.
    bool Run();
    bool Failed() const { return failed_; }
    // Ready for new bindings and another run.
    void Reset();

    int64_t Int(int column) const;
    double Double(int column) const;
    std::string Text(int column) const;
    std::string_view TextView(int column) const;
    bool IsNull(int column) const;

private:
    TSqliteDb& db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

// Commits on Commit(), rolls back when left without it.
class TSqliteTransaction {
public:
    explicit TSqliteTransaction(TSqliteDb& db, bool immediate = true);
    ~TSqliteTransaction();
    bool Begun() const { return begun_; }
    bool Commit();

private:
    TSqliteDb& db_;
    bool begun_ = false;
    bool done_ = false;
};

} // namespace karvel
