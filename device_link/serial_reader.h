#pragma once
// The reader of an open serial port: waits for received bytes in slices of
// TimeReceiveByte ms, reads them one at a time and hands each to the main thread, waiting
// until the main thread has delivered it; reports silence once per request.

#include "serial_status.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace karvel {

// The port's fields the reader reads or writes, kept outside the port object so that a
// reader never needs the port itself.
struct TPortShared {
    std::atomic<bool> putClearEvents {false}; // request outstanding
    std::atomic<uint32_t> timeReceiveByte {90}; // wait slice in ms
};

// One reader's hand-over to the main thread. It is shared between the reader and the main
// thread and outlives both sides' use of it: the main thread keeps it while a delivery
// runs, even when the handler closes the port and the reader is gone.
//
// The reader fills FInBuffer/FCount/FErrCode, then raises `pending` and waits; the main
// thread takes the delivery under the lock, runs the handler with the reader still
// waiting, and lowers `pending`. The lock on both sides orders the buffer accesses.
class TReaderHandOver {
public:
    TReaderHandOver(uint32_t bufferSize, int doorbellFd);

    std::vector<uint8_t> FInBuffer; // reader's byte buffer, allocated once
    int FCount = 0; // bytes stored since the last delivery
    uint32_t FErrCode = 0; // line errors seen before the last byte read

    // Reader side. Both return false once the reader has been told to end.
    bool WaitWhileHeld();
    bool HandOver();

    // Main-thread side.
    struct Delivery {
        const uint8_t* buffer;
        int size;
        uint32_t errCode;
    };
    // A delivery the reader waits for, unless reading is held or the reader was told to end.
    bool Take(Delivery& delivery);
    // After the handler (or, with no handler, instead of it): counting restarts only when
    // a handler took the bytes. Releases the reader.
    void Finish(bool handlerCalled);
    bool Held() const;
    void SetHeld(bool held);
    void Stop();

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool held_ = true;
    bool stop_ = false;
    bool pending_ = false; // the reader waits for a delivery
    bool taken_ = false; // the main thread is running it
    int doorbellFd_;
};

class TReadThread {
public:
    // Starts the reader held. Null when the thread's wake-up descriptor cannot be made.
    static std::unique_ptr<TReadThread> Create(int fd, uint32_t inBufSize,
                                               std::shared_ptr<TPortShared> shared, int doorbellFd);
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
    enum class Slice { Stop, Silent, Readable };

    void Execute();
    Slice WaitSlice(int ms);
    bool PassSlice(int ms);
    bool ReportSilence();
    bool ReadQueued(bool& readAny);

    const int fd_;
    const int stopFd_;
    std::shared_ptr<TPortShared> shared_;
    std::shared_ptr<TReaderHandOver> handOver_;
    TLineErrorCounters errors_;
    std::thread thread_;
};

} // namespace karvel
