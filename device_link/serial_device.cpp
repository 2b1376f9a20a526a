#include "serial_device.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace karvel {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxPortNumber = 256;

fs::path ConfigHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "") / ".config";
}

bool IsCharDevice(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_character_file(path, ec);
}

// The entry of `byIdDir` that resolves to the same file as `device`; empty when none.
std::string ByIdName(const std::string& device, const std::string& byIdDir)
{
    std::error_code ec;
    const fs::path target = fs::canonical(device, ec);
    if (ec)
        return {};
    for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkEc;
        if (fs::canonical(it->path(), linkEc) == target && !linkEc)
            return it->path().filename().string();
    }
    return {};
}

} // namespace

std::string ComLinkPath(int number)
{
    if (number < 1)
        return {};
    return (ConfigHome() / "Vistam" / "dosdevices" / ("com" + std::to_string(number))).string();
}

bool ComLinkPresent(int number)
{
    const std::string link = ComLinkPath(number);
    std::error_code ec;
    return !link.empty() && (fs::is_symlink(link, ec) || fs::exists(link, ec));
}

std::string ComDevicePath(int number)
{
    if (number < 1)
        return {};
    if (ComLinkPresent(number))
        return ComLinkPath(number);
    return "/dev/ttyS" + std::to_string(number - 1);
}

int OpenComDevice(const std::string& path)
{
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        // The caller reports errno: a lock held by another program reads as "busy".
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void CloseComDevice(int fd)
{
    if (fd < 0)
        return;
    ioctl(fd, TIOCNXCL);
    ::close(fd); // also drops the flock
}

QStringList ListComPorts(bool withDescription, const std::string& byIdDir)
{
    QStringList ports;
    for (int n = 1; n <= kMaxPortNumber; ++n) {
        const std::string device = ComDevicePath(n);
        if (!IsCharDevice(device))
            continue;
        QString entry = QStringLiteral("COM%1").arg(n);
        const std::string description = withDescription ? ByIdName(device, byIdDir) : std::string();
        if (!description.empty())
            entry += QLatin1Char(' ') + QString::fromStdString(description);
        ports.append(entry);
    }
    return ports;
}

} // namespace karvel
