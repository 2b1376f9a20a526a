#include "reg_format.h"

#include "reg_text.h"

#include <QFileDevice>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>

#include <mutex>

namespace karvel {

namespace {

struct TOrderTable {
    std::mutex mutex;
    QHash<QString, QHash<QString, int>> ranks; // file -> value path -> rank
};

TOrderTable& Orders()
{
    static TOrderTable table;
    return table;
}

QString FileOf(QIODevice& device)
{
    auto* file = qobject_cast<QFileDevice*>(&device);
    return file ? QFileInfo(file->fileName()).absoluteFilePath() : QString();
}

int RankLocked(QHash<QString, int>& ranks, const QString& path)
{
    auto it = ranks.find(path);
    if (it == ranks.end())
        it = ranks.insert(path, static_cast<int>(ranks.size()));
    return *it;
}

bool ReadReg(QIODevice& device, QSettings::SettingsMap& map)
{
    const TRegParse parsed = ParseRegText(device.readAll());
    if (!parsed.ok())
        return false;
    map = parsed.values;
    TOrderTable& table = Orders();
    std::lock_guard lock(table.mutex);
    auto& ranks = table.ranks[FileOf(device)];
    for (const QString& path : parsed.order)
        RankLocked(ranks, path);
    return true;
}

bool WriteReg(QIODevice& device, const QSettings::SettingsMap& map)
{
    QByteArray text;
    {
        TOrderTable& table = Orders();
        std::lock_guard lock(table.mutex);
        auto& ranks = table.ranks[FileOf(device)];
        if (!WriteRegText(
                map, [&](const QString& path) { return RankLocked(ranks, path); }, text))
            return false;
    }
    return device.write(text) == text.size();
}

} // namespace

QSettings::Format RegFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("reg"), ReadReg, WriteReg);
    return format;
}

void NoteRegValueOrder(const QString& file, const QString& valuePath)
{
    TOrderTable& table = Orders();
    std::lock_guard lock(table.mutex);
    RankLocked(table.ranks[QFileInfo(file).absoluteFilePath()], valuePath);
}

} // namespace karvel
