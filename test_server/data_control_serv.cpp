#include "data_control_serv.h"

#include <QDateTime>
#include <QLocale>

namespace karvel::server {

TDataControlServ::TDataControlServ(QString path, QString owner, LineWriter writer)
    : FPath(std::move(path)), FOwner(std::move(owner)), FWriter(std::move(writer))
{ }

void TDataControlServ::AddCountLine(const CountCall& call)
{
    if (FWriter)
        FWriter(memoLine(call, QDateTime::currentDateTime(), QLocale::system()));
}

std::optional<quint32> TDataControlServ::Advise(const EventSink& sink)
{
    if (FEventSink)
        return std::nullopt;
    // Cookies are never 0 and never reused within the object's life.
    FCookie = ++FLastCookie;
    EventSinkChanged(sink);
    return FCookie;
}

bool TDataControlServ::Unadvise(quint32 cookie)
{
    if (!FEventSink || cookie != FCookie)
        return false;
    FCookie = 0;
    EventSinkChanged(std::nullopt);
    return true;
}

void TDataControlServ::EventSinkChanged(std::optional<EventSink> sink)
{
    FEventSink = std::move(sink);
    ++FSinkChanges;
}

} // namespace karvel::server
