#pragma once
// The lines of the work log. `when` is the date-time text; line is 1..4.

#include <QString>

#include <cstdint>

namespace karvel {

QString LogStartLine(const QString& when);
QString LogStopLine(const QString& when);
QString LogLinkLostLine(const QString& when, int line, uint8_t netNum);
QString LogLinkBackLine(const QString& when, int line, uint8_t netNum);
// A booked change that did not reach the accounting server and waits in the journal.
QString LogAccountingFailedLine(const QString& when, int line, uint8_t netNum,
                                const QString& error);
// The alarm sound stopped in the middle of an alarm because the audio output failed.
QString LogAlarmSoundFailedLine(const QString& when, const QString& error);

} // namespace karvel
