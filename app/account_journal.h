#pragma once
// The journal of earlier versions: booked changes that did not reach the accounting
// server, kept on disk in the program's directory until they do, oldest first. Read
// once at start-up to take what it holds into the ledger. An entry is on the disk before Append
// returns; an entry the server took is marked done on the disk before PopFront returns, so after a
// crash at most the one change in flight is sent twice.

#include <QString>

#include <cstdint>
#include <deque>

namespace karvel {

struct TBookedChange {
    int line = 0; // 1..4
    uint8_t netNum = 0;
    QString product;
    double countC = 0;
    double countD = 0;
};

class TAccountJournal {
public:
    static constexpr const char* kFileName = "account.jnl";
    static constexpr const char* kDoneFileName = "account.ack";

    // Reads what an earlier run left undone.
    explicit TAccountJournal(const QString& dir);

    bool Empty() const { return pending_.empty(); }
    size_t Size() const { return pending_.size(); }
    const TBookedChange& Front() const { return pending_.front().change; }

    // False when the entry could not be made durable (it is still kept in memory).
    bool Append(const TBookedChange& change);
    // The front entry reached the server.
    bool PopFront();

private:
    struct TEntry {
        uint64_t seq;
        TBookedChange change;
    };
    void Load();

    QString path_;
    QString donePath_;
    std::deque<TEntry> pending_;
    uint64_t nextSeq_ = 1;
};

} // namespace karvel
