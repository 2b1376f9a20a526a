#include "program_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace karvel {

namespace {

const QString kOption = QStringLiteral("--program-dir");

QString ExecutableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

} // namespace

QString ProgramDir(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == kOption && i + 1 < arguments.size())
            return QDir(arguments[i + 1]).absolutePath();
        if (arg.startsWith(kOption + u'='))
            return QDir(arg.mid(kOption.size() + 1)).absolutePath();
    }
    return ExecutableDir();
}

} // namespace karvel
