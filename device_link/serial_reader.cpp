#include "serial_reader.h"

#include "serial_doorbell.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

namespace karvel {

// ---- hand-over ----

TReaderHandOver::TReaderHandOver(uint32_t bufferSize, int doorbellFd)
    : buffer_(bufferSize, 0), doorbellFd_(doorbellFd)
{ }

bool TReaderHandOver::WaitWhileHeld()
{
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !held_ || stop_; });
    return !stop_;
}

bool TReaderHandOver::WaitDelivered(int64_t& sinceMs)
{
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !pending_ || stop_; });
    sinceMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - deliveredAt_)
                  .count();
    return !stop_;
}

bool TReaderHandOver::Pending() const
{
    std::lock_guard lock(mutex_);
    return pending_;
}

bool TReaderHandOver::HandOver(Kind kind, int count, uint32_t errCode)
{
    {
        std::lock_guard lock(mutex_);
        if (stop_)
            return false;
        kind_ = kind;
        count_ = count;
        next_ = 0;
        errCode_ = errCode;
        purged_ = false;
        pending_ = true;
    }
    TSerialDoorbell::Ring(doorbellFd_);
    return true;
}

bool TReaderHandOver::Take(Delivery& delivery)
{
    std::lock_guard lock(mutex_);
    if (!pending_ || taken_ || stop_ || (held_ && kind_ != Kind::Lost))
        return false;
    taken_ = true;
    if (kind_ == Kind::Bytes)
        delivery = {kind_, &buffer_[static_cast<size_t>(next_)], 1, errCode_};
    else
        delivery = {kind_, buffer_.data(), 0, errCode_};
    return true;
}

void TReaderHandOver::Finish()
{
    {
        std::lock_guard lock(mutex_);
        taken_ = false;
        if (kind_ == Kind::Bytes && !purged_ && ++next_ < count_)
            return; // more of the burst to deliver; the reader keeps waiting
        pending_ = false;
        deliveredAt_ = std::chrono::steady_clock::now();
    }
    wake_.notify_all();
}

void TReaderHandOver::Purge()
{
    {
        std::lock_guard lock(mutex_);
        if (!pending_ || kind_ != Kind::Bytes)
            return;
        if (taken_) {
            purged_ = true; // ends with the delivery that is running
            return;
        }
        pending_ = false;
        deliveredAt_ = std::chrono::steady_clock::now();
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
        // from inside a delivery, the running delivery goes on with the burst.)
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

std::thread StartStdThread(std::function<void()> body)
{
    return std::thread(std::move(body));
}

std::atomic<TThreadStarter> threadStarter {&StartStdThread};

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

// Errors after which the device will not come back under this descriptor: a hung-up
// tty, a pulled USB adapter, the far end of a pseudo-terminal closed.
bool DeviceGone(int error)
{
    return error == EIO || error == ENODEV || error == ENXIO || error == EBADF;
}

// A hung-up tty reads as end of file and polls as hung up.
bool HungUp(int fd)
{
    pollfd line = {fd, POLLIN, 0};
    return poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool EndsFrame(const uint8_t* buffer, int count, int32_t frameEnd)
{
    return frameEnd >= 0 && count >= 2 && buffer[count - 2] == ((frameEnd >> 8) & 0xFF) &&
        buffer[count - 1] == (frameEnd & 0xFF);
}

} // namespace

void SetReaderThreadStarter(TThreadStarter starter)
{
    threadStarter.store(starter != nullptr ? starter : &StartStdThread);
}

std::unique_ptr<TReadThread> TReadThread::Create(int fd, uint32_t inBufSize,
                                                 std::shared_ptr<TPortShared> shared,
                                                 int doorbellFd, std::string& error)
{
    const int stopFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stopFd < 0) {
        error = std::system_category().message(errno);
        return nullptr;
    }
    std::unique_ptr<TReadThread> reader(
        new TReadThread(fd, stopFd, inBufSize, std::move(shared), doorbellFd));
    try {
        reader->thread_ = threadStarter.load()([r = reader.get()] { r->Execute(); });
    } catch (const std::system_error& e) {
        error = e.what();
        return nullptr; // the destructor closes the stop descriptor; no thread to join
    }
    return reader;
}

TReadThread::TReadThread(int fd, int stopFd, uint32_t inBufSize,
                         std::shared_ptr<TPortShared> shared, int doorbellFd)
    : fd_(fd), stopFd_(stopFd), shared_(std::move(shared)),
      handOver_(std::make_shared<TReaderHandOver>(inBufSize, doorbellFd))
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
    int shortWait = 0; // the rest of a slice that a delivery restarted
    while (handOver_->WaitWhileHeld()) {
        // A slice of 0 would turn the wait into a spin; 1 ms is the shortest wait.
        const uint32_t slice = shared_->timeReceiveByte.load();
        const int ms = static_cast<int>(std::clamp<uint32_t>(slice, 1, INT_MAX));
        const int wait = shortWait > 0 ? std::min(shortWait, ms) : ms;
        shortWait = 0;
        int64_t since = 0;
        bool go = true;
        switch (WaitSlice(wait)) {
        case Slice::Stop:
            go = false;
            break;
        case Slice::Silent:
            if (SliceEnded(ms, shortWait))
                go = ReportSilence();
            break;
        case Slice::Readable:
            go = handOver_->WaitDelivered(since) && ReadBurst(ms);
            break;
        case Slice::Gone:
            if (handOver_->WaitDelivered(since))
                handOver_->HandOver(TReaderHandOver::Kind::Lost);
            go = false;
            break;
        }
        if (!go)
            return;
    }
}

// The slice counts from the end of the last delivery: a request written from inside a
// delivery must get its full wait for an answer. False, with the time still to wait, when
// the last delivery ended less than a slice ago (or is still running: then after it).
bool TReadThread::SliceEnded(int sliceMs, int& remainingMs)
{
    int64_t since = 0;
    if (!handOver_->WaitDelivered(since))
        return true; // told to end: the report is refused
    if (since >= sliceMs)
        return true;
    remainingMs = std::max(1, static_cast<int>(sliceMs - since));
    return false;
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
        return Slice::Readable; // a hung-up line shows here too; the read tells
    if (ready > 0 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        return Slice::Gone;
    // An interrupted poll: wait out a slice without the device so that the reader never
    // spins.
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
    return handOver_->HandOver(TReaderHandOver::Kind::Silence);
}

bool TReadThread::ReadBurst(int ms)
{
    // Line errors belong to the bytes read after them; pseudo-terminals keep no counters,
    // and are not asked again once they have said so.
    uint32_t errors = 0;
    if (lineErrorsKnown_ && !ReadLineErrors(fd_, errors_, errors))
        lineErrorsKnown_ = false;
    TReaderHandOver& h = *handOver_;
    const ssize_t n = ::read(fd_, h.Buffer(), static_cast<size_t>(h.Capacity()));
    if (n > 0) {
        emptyReads_ = 0;
        const int count = n == 1 ? GatherPacedBytes(1) : static_cast<int>(n);
        return h.HandOver(TReaderHandOver::Kind::Bytes, count, errors);
    }
    if ((n < 0 && DeviceGone(errno)) || (n == 0 && HungUp(fd_))) {
        h.HandOver(TReaderHandOver::Kind::Lost);
        return false;
    }
    // Readiness without a byte: input purged by a request written meanwhile. Twice in a
    // row means a line that keeps saying so: let a slice pass instead of spinning.
    if (++emptyReads_ < 2)
        return true;
    emptyReads_ = 0;
    return PassSlice(ms);
}

int TReadThread::GatherPacedBytes(int count)
{
    // A device that queues what it receives (a UART's FIFO, a USB adapter, a pty written
    // in one piece) gives several bytes per read, and they are handed over at once. One
    // byte per read means the bytes come at the line's pace: waking the main thread for
    // each would cost two more thread switches per byte. The reader instead lets the line
    // run for two burst gaps (three character times) at a time and takes what came
    // meanwhile: a third of the wake-ups of one per byte. The burst is handed over when
    // it ends like a frame of the framing in use, or when a whole pause brought nothing
    // (the line paused for longer than the 1.5 character times that end a frame).
    const uint32_t gapUs = shared_->burstGapMicros.load();
    if (gapUs == 0)
        return count;
    TReaderHandOver& h = *handOver_;
    const int32_t frameEnd = shared_->frameEnd.load();
    const long pauseNs = static_cast<long>(gapUs) * 2000;
    const timespec pause {pauseNs / 1'000'000'000, pauseNs % 1'000'000'000};
    while (count < h.Capacity() && !EndsFrame(h.Buffer(), count, frameEnd)) {
        pollfd stop = {stopFd_, POLLIN, 0};
        if (ppoll(&stop, 1, &pause, nullptr) != 0)
            break; // told to end (the hand-over then refuses), or interrupted
        const ssize_t n =
            ::read(fd_, h.Buffer() + count, static_cast<size_t>(h.Capacity() - count));
        if (n <= 0)
            break; // a whole pause without a byte (a loss shows at the next wait)
        count += static_cast<int>(n);
    }
    return count;
}

} // namespace karvel
