#include "serial_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace karvel::test {

PtyPair::PtyPair()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0)
        throw std::runtime_error("no pseudo-terminal name");
    slave_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    if (master_ >= 0)
        ::close(master_);
}

void PtyPair::HangUp()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void PtyPair::Send(const std::vector<uint8_t>& bytes) const
{
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::vector<uint8_t> PtyPair::Receive(size_t count, int waitMs) const
{
    std::vector<uint8_t> got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < waitMs) {
        pollfd p {master_, POLLIN, 0};
        if (poll(&p, 1, 10) <= 0)
            continue;
        uint8_t buf[256];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0)
            got.insert(got.end(), buf, buf + n);
    }
    return got;
}

PortLinks::PortLinks()
{
    hadPrevious_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    previous_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    std::filesystem::create_directories(Path("Vistam/dosdevices"));
}

PortLinks::~PortLinks()
{
    if (hadPrevious_)
        qputenv("XDG_CONFIG_HOME", previous_);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

void PortLinks::Link(int number, const std::string& target) const
{
    const std::string link = Path("Vistam/dosdevices/com" + std::to_string(number));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(target, link);
}

std::string PortLinks::Path(const std::string& relative) const
{
    return dir_.path().toStdString() + "/" + relative;
}

bool PumpUntil(const std::function<bool()>& done, int ms)
{
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= ms)
            loop.quit();
    });
    tick.start(5);
    loop.exec();
    return done();
}

void PumpFor(int ms)
{
    PumpUntil([] { return false; }, ms);
}

} // namespace karvel::test
