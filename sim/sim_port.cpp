#include "sim_port.h"

#include "serial_speed.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace karvel::sim {

namespace {

// The simulator takes only the rates its options allow; anything else runs at 19200.
speed_t SpeedOf(int baud)
{
    const speed_t speed = baud > 0 ? TableSpeed(static_cast<uint32_t>(baud)) : 0;
    return speed != 0 ? speed : B19200;
}

// Raw 8N1: no echo, no line editing, no translation of CR or LF, no flow control.
bool MakeRaw(int fd, int baud, std::string& error)
{
    termios tio {};
    if (tcgetattr(fd, &tio) != 0) {
        error = std::string("tcgetattr: ") + std::strerror(errno);
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, SpeedOf(baud));
    cfsetospeed(&tio, SpeedOf(baud));
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = std::string("tcsetattr: ") + std::strerror(errno);
        return false;
    }
    return true;
}

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

} // namespace

TOpenedPort OpenPseudoTerminal(int baud)
{
    TOpenedPort port;
    port.fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (port.fd < 0 || grantpt(port.fd) != 0 || unlockpt(port.fd) != 0) {
        port.error = Errno("cannot open a pseudo-terminal");
        ClosePort(port);
        return port;
    }
    char name[PATH_MAX];
    if (ptsname_r(port.fd, name, sizeof name) != 0) {
        port.error = Errno("ptsname");
        ClosePort(port);
        return port;
    }
    port.path = name;
    port.keepFd = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    // The line discipline is shared by every opener of the slave: it must be raw before
    // the master program comes, or the answers would be echoed back as requests.
    if (port.keepFd < 0 || !MakeRaw(port.keepFd, baud, port.error)) {
        if (port.error.empty())
            port.error = Errno("cannot open " + port.path);
        ClosePort(port);
        return port;
    }
    fcntl(port.fd, F_SETFL, fcntl(port.fd, F_GETFL) | O_NONBLOCK);
    return port;
}

TOpenedPort OpenSerialDevice(const std::string& path, int baud)
{
    TOpenedPort port;
    port.path = path;
    port.fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (port.fd < 0) {
        port.error = Errno("cannot open " + path);
        return port;
    }
    if (ioctl(port.fd, TIOCEXCL) != 0) {
        port.error = Errno("cannot take " + path + " for exclusive use");
        ClosePort(port);
        return port;
    }
    if (!MakeRaw(port.fd, baud, port.error)) {
        port.error = path + ": " + port.error;
        ClosePort(port);
        return port;
    }
    tcflush(port.fd, TCIOFLUSH);
    return port;
}

void ClosePort(TOpenedPort& port)
{
    if (port.fd >= 0)
        close(port.fd);
    if (port.keepFd >= 0)
        close(port.keepFd);
    port.fd = port.keepFd = -1;
}

int WatchCloses(const std::string& path)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd >= 0 && inotify_add_watch(fd, path.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void TakeCloses(int watchFd, int keepFd)
{
    alignas(inotify_event) char buffer[1024];
    while (read(watchFd, buffer, sizeof buffer) > 0) { }
    if (keepFd >= 0)
        ioctl(keepFd, TIOCNXCL);
}

bool MakeLink(const std::string& link, const std::string& target, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path(link);
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    const auto status = fs::symlink_status(path, ec);
    if (fs::is_symlink(status)) {
        fs::remove(path, ec);
    } else if (fs::exists(status)) {
        error = link + " exists and is not a symbolic link; not replaced";
        return false;
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = Errno("cannot make the link " + link);
        return false;
    }
    return true;
}

void RemoveLink(const std::string& link, const std::string& target)
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n > 0 && std::string(buffer, static_cast<size_t>(n)) == target)
        unlink(link.c_str());
}

int OpenControlFifo(const std::string& path, bool& created, std::string& error)
{
    created = false;
    struct stat st { };
    if (stat(path.c_str(), &st) == 0) {
        if (!S_ISFIFO(st.st_mode)) {
            error = path + " exists and is not a named pipe";
            return -1;
        }
    } else if (mkfifo(path.c_str(), 0600) != 0) {
        error = Errno("cannot make the named pipe " + path);
        return -1;
    } else {
        created = true;
    }
    // O_RDWR keeps a writer on the pipe ourselves, so it never reads as ended when a
    // command writer closes it.
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0)
        error = Errno("cannot open " + path);
    return fd;
}

} // namespace karvel::sim
