#pragma once
// Wakes the main thread from a serial reader without allocating: the reader adds to an
// eventfd counter, a socket notifier of the main thread's event loop sees it and runs the
// callback there. Rings that arrive before the callback drains the counter merge into one
// call, so the callback must look for all the work that is waiting.

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace karvel {

class TSerialDoorbell {
public:
    // Lives in, and calls `onRing` on, the thread that creates it. `Valid` is false when
    // the eventfd could not be made.
    explicit TSerialDoorbell(std::function<void()> onRing);
    ~TSerialDoorbell();
    TSerialDoorbell(const TSerialDoorbell&) = delete;
    TSerialDoorbell& operator=(const TSerialDoorbell&) = delete;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // Any thread; async-signal-safe, allocation-free.
    static void Ring(int fd);
    // Main thread, at the start of the callback.
    void Drain();

private:
    int fd_ = -1;
    // Calls of `onRing` in progress: the owner may be destroyed from inside one.
    std::shared_ptr<int> depth_ = std::make_shared<int>(0);
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace karvel
