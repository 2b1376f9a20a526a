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

bool writeServiceFile(const QString& dir, const QString& identifier, const QString& executable,
                      QString* error)
{
    if (executable.contains(u'\n') || executable.contains(u'\r')) {
        *error = QStringLiteral("the program path contains a line break: ") + executable;
        return false;
    }
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create the directory ") + dir;
        return false;
    }
    QSaveFile file(serviceFilePath(dir, identifier));
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.fileName() + QStringLiteral(": ") + file.errorString();
        return false;
    }
    file.write(serviceFileText(identifier, executable).toUtf8());
    if (!file.commit()) {
        *error = file.fileName() + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

bool removeServiceFile(const QString& dir, const QString& identifier, QString* error)
{
    QFile file(serviceFilePath(dir, identifier));
    const QFileInfo info(file.fileName());
    if (!info.exists() && !info.isSymLink())
        return true;
    if (!file.remove()) {
        *error = file.fileName() + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

} // namespace karvel::server
