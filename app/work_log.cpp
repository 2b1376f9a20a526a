#include "work_log.h"

#include "cp1251.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace karvel {

TWorkLog::~TWorkLog()
{
    Close();
}

bool TWorkLog::Open(const QString& path)
{
    Close();
    const QByteArray name = QFile::encodeName(path);
    fd_ = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

bool TWorkLog::WriteLine(const QString& line)
{
    if (fd_ < 0)
        return false;
    const QByteArray bytes = ToCp1251(line) + "\r\n";
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return ::fdatasync(fd_) == 0;
}

void TWorkLog::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace karvel
