#include "work_log_lines.h"

namespace karvel {

namespace {

// A text of somebody else's (an error) on one log line.
QString OneLine(QString text)
{
    return text.replace(u'\r', u' ').replace(u'\n', u' ');
}

QString TerminalPart(const QString& when, int line, uint8_t netNum)
{
    return when + QStringLiteral(" Линия %1, Весы  %2").arg(line).arg(netNum);
}

} // namespace

QString LogStartLine(const QString& when)
{
    return when + QStringLiteral("  -  Старт");
}

QString LogStopLine(const QString& when)
{
    return when + QStringLiteral("  -  Стоп");
}

QString LogLinkLostLine(const QString& when, int line, uint8_t netNum)
{
    return TerminalPart(when, line, netNum) + QStringLiteral("  -  Потеря связи");
}

QString LogLinkBackLine(const QString& when, int line, uint8_t netNum)
{
    return TerminalPart(when, line, netNum) + QStringLiteral("  -  Возобновление связи");
}

QString LogAccountingFailedLine(const QString& when, int line, uint8_t netNum, const QString& error)
{
    return TerminalPart(when, line, netNum) +
        QStringLiteral("  -  Учет не принял изменение, оно записано в журнал: ") + OneLine(error);
}

QString LogAlarmSoundFailedLine(const QString& when, const QString& error)
{
    return when + QStringLiteral("  -  Сбой звука тревоги: ") + OneLine(error);
}

} // namespace karvel
