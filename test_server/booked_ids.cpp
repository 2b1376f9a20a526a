#include "booked_ids.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace karvel::server {

BookedIds::BookedIds(QString fileName) : FFileName(std::move(fileName))
{
    if (FFileName.isEmpty())
        return;
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        // A line cut short by a crash has no line end and was never acknowledged.
        const QByteArray line = file.readLine();
        FCutShort = !line.endsWith('\n');
        if (!FCutShort && line.size() > 1)
            FIds.insert(QString::fromUtf8(line.chopped(1)));
    }
}

QString BookedIds::defaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/KarvelC/booked-ids");
}

bool BookedIds::add(const QString& changeId)
{
    FIds.insert(changeId);
    if (FFileName.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    QFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    // The next identity starts on a line of its own after a line cut short.
    const QByteArray line =
        (FCutShort ? QByteArray("\n") : QByteArray()) + changeId.toUtf8() + '\n';
    const bool written =
        file.write(line) == line.size() && file.flush() && ::fsync(file.handle()) == 0;
    FCutShort = FCutShort && !written;
    return written;
}

} // namespace karvel::server
