#include "data_control_serv.h"

#include <QDateTime>
#include <QLocale>

namespace karvel::server {

TDataControlServ::TDataControlServ(QString path, QString owner, LineWriter writer)
    : path_(std::move(path)), owner_(std::move(owner)), writer_(std::move(writer))
{ }

void TDataControlServ::AddCountLine(const CountCall& call)
{
    if (writer_)
        writer_(memoLine(call, QDateTime::currentDateTime(), QLocale::system()));
}

std::optional<quint32> TDataControlServ::Advise(const EventSink& sink)
{
    if (eventSink_)
        return std::nullopt;
    // Cookies are never 0 and never reused within the object's life.
    cookie_ = ++lastCookie_;
    EventSinkChanged(sink);
    return cookie_;
}

bool TDataControlServ::Unadvise(quint32 cookie)
{
    if (!eventSink_ || cookie != cookie_)
        return false;
    cookie_ = 0;
    EventSinkChanged(std::nullopt);
    return true;
}

void TDataControlServ::EventSinkChanged(std::optional<EventSink> sink)
{
    eventSink_ = std::move(sink);
    ++sinkChanges_;
}

} // namespace karvel::server
