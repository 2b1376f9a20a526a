#pragma once
// The reader of an open serial port: waits for received bytes in slices of
// TimeReceiveByte ms, reads every byte that is queued in one call (collecting bytes that
// come at the line's pace into one burst) and hands the burst to the main thread, reading
// nothing more until the main thread has delivered all of it; reports silence once per
// request and the loss of the device (a pulled adapter).

#include "serial_status.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace karvel {

// The port's fields the reader reads or writes, kept outside the port object so that a
// reader never needs the port itself.
struct TPortShared {
    std::atomic<bool> putClearEvents {false}; // request outstanding
    std::atomic<uint32_t> timeReceiveByte {90}; // wait slice in ms
    // A pause of this long ends a burst that arrives byte by byte (1.5 character times at
    // the line's speed, set at open); 0 hands every read over at once.
    std::atomic<uint32_t> burstGapMicros {0};
    // The two bytes that end a frame of the framing in use (first << 8 | second), -1 none.
    std::atomic<int32_t> frameEnd {-1};
};

// One reader's hand-over to the main thread. It is shared between the reader and the main
// thread and outlives both sides' use of it: the main thread keeps it while a delivery
// runs, even when the handler closes the port and the reader is gone.
//
// The reader fills the buffer, marks a hand-over pending and rings; the main thread takes
// the burst one byte at a time under the lock, runs the handler for each, and ends the
// hand-over after the last byte. The reader reads nothing more and reports nothing until
// then: it waits for the delivery before it touches the buffer or the request flag again,
// but lazily, when the line next needs it, so that a delivery that ends before the next
// byte comes costs the reader no wake-up. One wake-up of each thread per burst, not per
// byte; the handler still sees one byte per call, in order.
class TReaderHandOver {
public:
    enum class Kind : uint8_t { Bytes, Silence, Lost };

    TReaderHandOver(uint32_t bufferSize, int doorbellFd);

    // Reader side.
    uint8_t* Buffer() { return buffer_.data(); }
    int Capacity() const { return static_cast<int>(buffer_.size()); }
    // All return false once the reader has been told to end.
    bool WaitWhileHeld();
    // Waits until the last hand-over has been delivered (or discarded); `sinceMs`
    // receives the time since that happened.
    bool WaitDelivered(int64_t& sinceMs);
    bool Pending() const;
    // Hands over `count` bytes of the buffer (Kind::Bytes), a silence report or the loss
    // of the device. Only after WaitDelivered.
    bool HandOver(Kind kind, int count = 0, uint32_t errCode = 0);

    // Main-thread side.
    struct Delivery {
        Kind kind;
        const uint8_t* buffer;
        int size; // 1 for a byte, 0 for silence and loss
        uint32_t errCode;
    };
    // The next byte of the pending burst, or the pending report; false while reading is
    // held (a loss is taken also then), while a delivery runs, when nothing is pending
    // and once the reader was told to end.
    bool Take(Delivery& delivery);
    // After the handler: moves on to the next byte; after the last one (or a report)
    // releases the reader.
    void Finish();
    // The port discarded its unread input: the rest of the burst is dropped with it.
    void Purge();
    bool Held() const;
    void SetHeld(bool held);
    void Stop();

private:
    std::vector<uint8_t> buffer_; // allocated once per reader
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    Kind kind_ = Kind::Bytes;
    int count_ = 0; // bytes in the pending burst
    int next_ = 0; // the next of them to deliver
    uint32_t errCode_ = 0; // line errors seen before the burst was read
    bool held_ = true;
    bool stop_ = false;
    bool pending_ = false; // the reader waits for a delivery
    bool taken_ = false; // the main thread is running the handler
    bool purged_ = false; // the rest of the burst is dropped
    std::chrono::steady_clock::time_point deliveredAt_ {}; // end of the last delivery
    int doorbellFd_;
};

// Starts a reader's thread; tests put in one that fails as the system may when it is out
// of threads. Null restores std::thread.
using TThreadStarter = std::thread (*)(std::function<void()> body);
void SetReaderThreadStarter(TThreadStarter starter);

class TReadThread {
public:
    // Starts the reader held. Null when the thread or its wake-up descriptor cannot be
    // made; `error` then tells why.
    static std::unique_ptr<TReadThread> Create(int fd, uint32_t inBufSize,
                                               std::shared_ptr<TPortShared> shared, int doorbellFd,
                                               std::string& error);
    ~TReadThread(); // Stop
    TReadThread(const TReadThread&) = delete;
    TReadThread& operator=(const TReadThread&) = delete;

    const std::shared_ptr<TReaderHandOver>& HandOver() const { return handOver_; }
    // Tells the reader to end and waits until it has. Never waits for the main thread:
    // every wait of the reader (poll, hold, hand-over) is ended by it.
    void Stop();

private:
    TReadThread(int fd, int stopFd, uint32_t inBufSize, std::shared_ptr<TPortShared> shared,
                int doorbellFd);
    enum class Slice { Stop, Silent, Readable, Gone };

    void Execute();
    Slice WaitSlice(int ms);
    bool PassSlice(int ms);
    bool SliceEnded(int sliceMs, int& remainingMs);
    bool ReportSilence();
    // False when the reader is to end (told to, or the device is gone).
    bool ReadBurst(int ms);
    // After a read of a single byte: the line delivers at its own pace, so the bytes that
    // follow within the burst gap join the burst. Returns the burst's length.
    int GatherPacedBytes(int count);

    const int fd_;
    const int stopFd_;
    std::shared_ptr<TPortShared> shared_;
    std::shared_ptr<TReaderHandOver> handOver_;
    TLineErrorCounters errors_;
    bool lineErrorsKnown_ = true; // false once the device refused its error counters
    int emptyReads_ = 0; // readiness in a row that brought no byte
    std::thread thread_;
};

} // namespace karvel
