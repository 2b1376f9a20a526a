#pragma once

#include <QSet>
#include <QString>

namespace karvel::server {

// The change identities the server has booked, so that a change sent again (its first
// call timed out at the client, or the client was restarted before the answer came) is
// acknowledged without a second memo line. Kept in a file, one identity a line, so that
// a restarted server still knows them; an identity is on the disk before its call is
// answered.
class BookedIds {
public:
    // No file name: kept in memory only, for this run.
    explicit BookedIds(QString fileName = QString());
    // "$XDG_DATA_HOME/KarvelC/booked-ids" (XDG_DATA_HOME defaults to ~/.local/share).
    static QString defaultFileName();

    bool contains(const QString& changeId) const { return ids_.contains(changeId); }
    // Remembers the identity; false when it did not reach the disk (it is still
    // remembered for this run).
    bool add(const QString& changeId);
    qsizetype size() const { return ids_.size(); }

private:
    QString fileName_;
    QSet<QString> ids_;
    bool cutShort_ = false; // the file ends in a line a crash cut short
};

} // namespace karvel::server
