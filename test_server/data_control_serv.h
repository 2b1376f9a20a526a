#pragma once

#include "memo_line.h"

#include <QString>

#include <functional>
#include <optional>

namespace karvel::server {

// Appends one line to the server window's memo.
using LineWriter = std::function<void(const QString& line)>;

// Where a client wants the object's events: its bus name and object path.
struct EventSink {
    QString busName;
    QString path;
};

// One accounting object handed out by the class factory. It keeps nothing of the calls:
// each one only writes its line. Its events connection point takes a single sink; the
// events interface has no members, so nothing is ever sent to it.
class TDataControlServ {
public:
    TDataControlServ(QString path, QString owner, LineWriter writer);

    const QString& path() const { return path_; }
    const QString& owner() const { return owner_; }

    // Writes the call's line, stamped with the current local time in the user's locale.
    void AddCountLine(const CountCall& call);

    // Connects the sink; empty when one is already connected (cannot connect).
    std::optional<quint32> Advise(const EventSink& sink);
    // Disconnects the sink of that cookie; false when no such connection exists.
    bool Unadvise(quint32 cookie);

    const std::optional<EventSink>& eventSink() const { return eventSink_; }
    // How often the connect notification ran (once per accepted connect or disconnect).
    int sinkChanges() const { return sinkChanges_; }

private:
    void EventSinkChanged(std::optional<EventSink> sink);

    QString path_;
    QString owner_;
    LineWriter writer_;
    std::optional<EventSink> eventSink_;
    quint32 cookie_ = 0;
    quint32 lastCookie_ = 0;
    int sinkChanges_ = 0;
};

} // namespace karvel::server
