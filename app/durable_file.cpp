#include "durable_file.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karvel {

namespace {

bool WriteAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool SyncDirOf(const QString& path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool DurableAppend(const QString& path, const QByteArray& bytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st { };
    const bool existed = ::stat(name.constData(), &st) == 0;
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ::close(fd);
    if (ok && !existed)
        ok = SyncDirOf(path);
    return ok;
}

bool DurableReplace(const QString& path, const QByteArray& bytes)
{
    const QByteArray name = QFile::encodeName(path);
    const QByteArray aside = name + ".new";
    const int fd = ::open(aside.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ::close(fd);
    ok = ok && ::rename(aside.constData(), name.constData()) == 0;
    if (!ok) {
        ::unlink(aside.constData());
        return false;
    }
    return SyncDirOf(path);
}

bool DurableRemove(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        return false;
    return SyncDirOf(path);
}

} // namespace karvel
