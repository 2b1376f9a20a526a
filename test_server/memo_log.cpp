#include "memo_log.h"

#include <QFile>

namespace karvel::server {

MemoLog::MemoLog(QString fileName) : fileName_(std::move(fileName)) { }

MemoLog MemoLog::fromEnvironment()
{
    return MemoLog(qEnvironmentVariable("KARVELC_MEMO_LOG"));
}

void MemoLog::append(const QString& line) const
{
    if (!enabled())
        return;
    // Opened per line so that a reader sees every line as soon as it is written.
    QFile file(fileName_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write((line + u'\n').toUtf8());
}

} // namespace karvel::server
