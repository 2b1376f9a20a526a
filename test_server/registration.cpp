#include "registration.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace karvel::server {

QString sessionServiceDir(const QProcessEnvironment& env)
{
    // Only an absolute XDG_DATA_HOME counts; anything else means the default.
    QString dataHome = env.value(QStringLiteral("XDG_DATA_HOME"));
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome)) {
        QString home = env.value(QStringLiteral("HOME"));
        if (home.isEmpty())
            home = QDir::homePath();
        dataHome = home + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(dataHome + QStringLiteral("/dbus-1/services"));
}

QString serviceFilePath(const QString& dir, const QString& identifier)
{
    return dir + u'/' + identifier + QStringLiteral(".service");
}

QString quoteExecWord(const QString& word)
{
    static const QString plain =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:=@%");
    const bool needsQuotes = word.isEmpty() ||
        std::any_of(word.begin(), word.end(), [](QChar c) { return !plain.contains(c); });
    if (!needsQuotes)
        return word;
    // Single quotes keep everything literal; a quote itself closes, is escaped, reopens.
    QString quoted = word;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString serviceFileText(const QString& identifier, const QString& executable)
{
    // The file is read like a desktop entry first, where a backslash escapes: double it
    // so the shell quoting reaches the command-line splitter intact.
    QString exec = quoteExecWord(executable);
    exec.replace(u'\\', QStringLiteral("\\\\"));
    return QStringLiteral("[D-BUS Service]\nName=") + identifier + QStringLiteral("\nExec=") +
        exec + QStringLiteral(" -Embedding\n");
}

std::optional<QString> writeServiceFile(const QString& dir, const QString& identifier,
                                        const QString& executable)
{
    if (executable.contains(u'\n') || executable.contains(u'\r'))
        return QStringLiteral("the program path contains a line break: ") + executable;

    if (!QDir().mkpath(dir))
        return QStringLiteral("cannot create the directory ") + dir;
    QSaveFile file(serviceFilePath(dir, identifier));
    if (!file.open(QIODevice::WriteOnly))
        return file.fileName() + QStringLiteral(": ") + file.errorString();
    file.write(serviceFileText(identifier, executable).toUtf8());
    if (!file.commit())
        return file.fileName() + QStringLiteral(": ") + file.errorString();
    return std::nullopt;
}

std::optional<QString> removeServiceFile(const QString& dir, const QString& identifier)
{
    QFile file(serviceFilePath(dir, identifier));
    const QFileInfo info(file.fileName());
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    if (!file.remove())
        return file.fileName() + QStringLiteral(": ") + file.errorString();
    return std::nullopt;
}

} // namespace karvel::server
