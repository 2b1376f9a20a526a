#include "serial_doorbell.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace karvel {

TSerialDoorbell::TSerialDoorbell(std::function<void()> onRing)
    : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (fd_ < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [callback = std::move(onRing), depth = depth_] {
                         ++*depth;
                         callback(); // may destroy this doorbell: touch nothing of it after
                         --*depth;
                     });
}

TSerialDoorbell::~TSerialDoorbell()
{
    if (notifier_) {
        // A disabled notifier is out of the event loop at once, so the descriptor may be
        // closed now. Destroyed from inside its own callback, the notifier (which holds the
        // running callback) must outlive that call: the event loop deletes it later.
        notifier_->setEnabled(false);
        if (*depth_ > 0)
            notifier_.release()->deleteLater();
        else
            notifier_.reset();
    }
    if (fd_ >= 0)
        ::close(fd_);
}

void TSerialDoorbell::Ring(int fd)
{
    const uint64_t one = 1;
    // A full counter (2^64 - 2 rings not drained) cannot happen; a failed write would only
    // mean the main thread is already woken.
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

void TSerialDoorbell::Drain()
{
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_, &count, sizeof count);
}

} // namespace karvel
