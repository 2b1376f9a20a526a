#include "start_mode.h"

namespace karvel::server {
namespace {

bool hasSwitch(const QStringList& arguments, QLatin1StringView name)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg.size() < 2 || (arg.front() != u'/' && arg.front() != u'-'))
            continue;
        if (QStringView(arg).mid(1).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

StartMode parseStartMode(const QStringList& arguments)
{
    if (hasSwitch(arguments, QLatin1StringView("REGSERVER")))
        return StartMode::RegServer;
    if (hasSwitch(arguments, QLatin1StringView("UNREGSERVER")))
        return StartMode::UnregServer;
    if (hasSwitch(arguments, QLatin1StringView("AUTOMATION")) ||
        hasSwitch(arguments, QLatin1StringView("EMBEDDING")))
        return StartMode::Automation;
    return StartMode::User;
}

} // namespace karvel::server
