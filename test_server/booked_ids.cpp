#include "booked_ids.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace karvel::server {

BookedIds::BookedIds(QString fileName) : fileName_(std::move(fileName))
{
    if (fileName_.isEmpty())
        return;
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        // A line cut short by a crash has no line end and was never acknowledged.
        const QByteArray line = file.readLine();
        cutShort_ = !line.endsWith('\n');
        if (!cutShort_ && line.size() > 1)
            ids_.insert(QString::fromUtf8(line.chopped(1)));
    }
}

QString BookedIds::defaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/KarvelC/booked-ids");
}

bool BookedIds::add(const QString& changeId)
{
    ids_.insert(changeId);
    if (fileName_.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(fileName_).absolutePath());
    QFile file(fileName_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    // The next identity starts on a line of its own after a line cut short.
    const QByteArray line =
        (cutShort_ ? QByteArray("\n") : QByteArray()) + changeId.toUtf8() + '\n';
    const bool written =
        file.write(line) == line.size() && file.flush() && ::fsync(file.handle()) == 0;
    cutShort_ = cutShort_ && !written;
    return written;
}

} // namespace karvel::server
