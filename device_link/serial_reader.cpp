#include "serial_reader.h"

#include "serial_doorbell.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace karvel {

// ---- hand-over ----

TReaderHandOver::TReaderHandOver(uint32_t bufferSize, int doorbellFd)
    : FInBuffer(bufferSize, 0), doorbellFd_(doorbellFd)
{ }

bool TReaderHandOver::WaitWhileHeld()
{
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !held_ || stop_; });
    return !stop_;
}

bool TReaderHandOver::HandOver()
{
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return false;
        pending_ = true;
    }
    TSerialDoorbell::Ring(doorbellFd_);
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !pending_ || stop_; });
    return !stop_;
}

bool TReaderHandOver::Take(Delivery& delivery)
{
    std::lock_guard lock(mutex_);
    if (!pending_ || taken_ || held_ || stop_)
        return false;
    taken_ = true;
    delivery = {FInBuffer.data(), FCount, FErrCode};
    return true;
}

void TReaderHandOver::Finish(bool handlerCalled)
{
    {
        std::lock_guard lock(mutex_);
        if (handlerCalled)
            FCount = 0;
        pending_ = false;
        taken_ = false;
    }
    wake_.notify_all();
}

bool TReaderHandOver::Held() const
{
    std::lock_guard lock(mutex_);
    return held_;
}

void TReaderHandOver::SetHeld(bool held)
{
    bool ringAgain = false;
    {
        std::lock_guard lock(mutex_);
        held_ = held;
        // A hand-over that came while reading was held was left waiting; the main thread
        // looks for it again from its event loop, not from inside this call. (Released
        // from inside a delivery, there is nothing to look for.)
        ringAgain = !held && pending_ && !taken_ && !stop_;
    }
    wake_.notify_all();
    if (ringAgain)
        TSerialDoorbell::Ring(doorbellFd_);
}

void TReaderHandOver::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
}

// ---- reader thread ----

namespace {

// One step above normal; an ordinary user may not raise priority, and then the reader
// simply runs at normal priority.
void RaiseOwnPriority()
{
    const id_t self = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        setpriority(PRIO_PROCESS, self, nice - 1);
}

} // namespace

std::unique_ptr<TReadThread> TReadThread::Create(int fd, uint32_t inBufSize,
                                                 std::shared_ptr<TPortShared> shared,
                                                 int doorbellFd)
{
    const int stopFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stopFd < 0)
        return nullptr;
    return std::unique_ptr<TReadThread>(
        new TReadThread(fd, stopFd, inBufSize, std::move(shared), doorbellFd));
}

TReadThread::TReadThread(int fd, int stopFd, uint32_t inBufSize,
                         std::shared_ptr<TPortShared> shared, int doorbellFd)
    : fd_(fd), stopFd_(stopFd), shared_(std::move(shared)),
      handOver_(std::make_shared<TReaderHandOver>(inBufSize, doorbellFd)),
      thread_([this] { Execute(); })
{ }

TReadThread::~TReadThread()
{
    Stop();
    ::close(stopFd_);
}

void TReadThread::Stop()
{
    handOver_->Stop();
    TSerialDoorbell::Ring(stopFd_); // ends a poll in progress
    if (thread_.joinable())
        thread_.join();
}

void TReadThread::Execute()
{
    RaiseOwnPriority();
    while (handOver_->WaitWhileHeld()) {
        // A slice of 0 would turn the wait into a spin; 1 ms is the shortest wait.
        const uint32_t slice = shared_->timeReceiveByte.load();
        const int ms = static_cast<int>(std::clamp<uint32_t>(slice, 1, INT_MAX));
        bool go = true;
        switch (WaitSlice(ms)) {
        case Slice::Stop:
            go = false;
            break;
        case Slice::Silent:
            go = ReportSilence();
            break;
        case Slice::Readable: {
            bool readAny = false;
            go = ReadQueued(readAny);
            // Readiness without a byte (a line that hung up): let the slice pass quietly
            // instead of polling again at once, and count it as silence.
            if (go && !readAny)
                go = PassSlice(ms) && ReportSilence();
            break;
        }
        }
        if (!go)
            return;
    }
}

TReadThread::Slice TReadThread::WaitSlice(int ms)
{
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
    const int ready = poll(fds, 2, ms);
    if (ready == 0)
        return Slice::Silent;
    if (ready > 0 && fds[0].revents != 0)
        return Slice::Stop;
    if (ready > 0 && (fds[1].revents & POLLIN) != 0)
        return Slice::Readable;
    // Hang-up or error without data, or an interrupted poll: wait out a slice without
    // the device so that a dead line never makes the reader spin.
    return PassSlice(ms) ? Slice::Silent : Slice::Stop;
}

bool TReadThread::PassSlice(int ms)
{
    pollfd stop = {stopFd_, POLLIN, 0};
    return poll(&stop, 1, ms) <= 0 || stop.revents == 0;
}

bool TReadThread::ReportSilence()
{
    // While held the reader reports nothing and leaves the request flag alone.
    if (handOver_->Held())
        return true;
    if (!shared_->putClearEvents.exchange(false))
        return true;
    handOver_->FCount = 0;
    return handOver_->HandOver();
}

bool TReadThread::ReadQueued(bool& readAny)
{
    const uint32_t errors = TakeLineErrors(fd_, errors_);
    const uint32_t queued = InputQueueLength(fd_);
    TReaderHandOver& h = *handOver_;
    const int size = static_cast<int>(h.FInBuffer.size());
    for (uint32_t i = 0; i < queued; ++i) {
        // Held wherever it is: bytes not read stay in the driver's queue.
        if (!h.WaitWhileHeld())
            return false;
        uint8_t byte = 0;
        if (::read(fd_, &byte, 1) != 1)
            continue; // a failed read is skipped silently
        readAny = true;
        h.FErrCode = errors;
        h.FInBuffer[static_cast<size_t>(h.FCount)] = byte;
        if (++h.FCount > size - 1)
            h.FCount = 0;
        if (!h.HandOver())
            return false;
    }
    return true;
}

} // namespace karvel
