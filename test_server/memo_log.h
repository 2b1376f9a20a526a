#pragma once

#include <QString>

namespace karvel::server {

// Copies memo lines to a file (UTF-8, one per line), for installers who want a record
// and for tests that watch a server started by the bus. The file is named by the
// environment variable KARVELC_MEMO_LOG; without it nothing is copied.
class MemoLog {
public:
    explicit MemoLog(QString fileName);
    static MemoLog fromEnvironment();

    bool enabled() const { return !fileName_.isEmpty(); }
    void append(const QString& line) const;

private:
    QString fileName_;
};

} // namespace karvel::server
