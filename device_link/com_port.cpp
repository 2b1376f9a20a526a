#include "com_port.h"

#include "serial_device.h"
#include "serial_doorbell.h"
#include "serial_line.h"
#include "serial_reader.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

// How a delivery reaches the main thread, and why closing cannot deadlock:
//
// The reader stores a byte in its hand-over (TReaderHandOver), marks it pending, rings the
// port's doorbell (an eventfd watched by a socket notifier of the main thread's event loop;
// nothing is allocated per byte) and waits on a condition variable until the delivery is
// finished. On the main thread RunDeliveries takes the pending delivery, calls the byte
// receiver with the reader still waiting, and finishes it, which releases the reader.
//
// Close tells the hand-over to stop (releasing the reader from any wait: hold, hand-over)
// and rings the reader's own stop descriptor (ending its poll), then joins it. None of the
// reader's waits depends on the main thread once it has been told to stop, so the join
// always returns, also when Close runs inside a delivery or while the main thread has not
// yet taken a byte the reader rang for. Only after the join is the device closed, so the
// reader never polls or reads a closed (or reused) descriptor. A ring that is still
// queued in the event loop finds no reader, or the next reader's hand-over with nothing
// pending, and does nothing. A delivery that is running when the handler closes or
// destroys the port finishes on the hand-over alone, which it keeps alive itself.

namespace karvel {

namespace {

const TCommTimeouts kOpenTimeouts {20, 4, 20, 4, 20};

} // namespace

TComPort::TComPort() : shared_(std::make_shared<TPortShared>()) { }

TComPort::~TComPort()
{
    Close();
    doorbell_.reset();
}

void TComPort::SetComNumber(int number)
{
    if (number == FComNumber)
        return;
    if (!Connected()) {
        FComNumber = number;
        return;
    }
    Close();
    FComNumber = number;
    Open(); // the new reader starts held, as after any Open
}

void TComPort::SetInBufSize(uint32_t size)
{
    // With a buffer of one byte every byte would wrap the count to 0 and be delivered as
    // an empty notification; two is the smallest buffer that works.
    if (!Connected() && size >= 2)
        FInBufSize = size;
}

uint32_t TComPort::TimeReceiveByte() const
{
    return shared_->timeReceiveByte.load();
}
void TComPort::SetTimeReceiveByte(uint32_t ms)
{
    shared_->timeReceiveByte.store(ms);
}

void TComPort::SetConnected(bool connected)
{
    if (connected)
        Open();
    else
        Close();
}

bool TComPort::ReadActive() const
{
    return FReadThread && !FReadThread->HandOver()->Held();
}

void TComPort::SetReadActive(bool active)
{
    if (FReadThread)
        FReadThread->HandOver()->SetHeld(!active);
}

bool TComPort::PutClearEvents() const
{
    return shared_->putClearEvents.load();
}
void TComPort::SetPutClearEvents(bool outstanding)
{
    shared_->putClearEvents.store(outstanding);
}

void TComPort::Open()
{
    if (Connected())
        return;
    if (!doorbell_)
        doorbell_ = std::make_unique<TSerialDoorbell>([this] { RunDeliveries(); });
    if (!doorbell_->Valid())
        return;
    const int fd = OpenComDevice(ComDevicePath(FComNumber));
    if (fd < 0)
        return;
    if (!ApplyRawMode(fd)) {
        CloseComDevice(fd);
        return;
    }
    // A record the line cannot take leaves the line's previous settings; the port still
    // opens, as it does when the platform refuses a line-settings record.
    ApplyDcb(fd, FComProp.DCB());
    timeouts_ = kOpenTimeouts;
    stateErrors_ = {};
    FReadThread = TReadThread::Create(fd, FInBufSize, shared_, doorbell_->Fd());
    if (!FReadThread) {
        CloseComDevice(fd);
        return;
    }
    FHandle = fd;
}

void TComPort::Close()
{
    if (!Connected())
        return;
    SetReadActive(false);
    FReadThread->Stop();
    FReadThread.reset();
    CloseComDevice(FHandle);
    FHandle = -1;
}

bool TComPort::Connect()
{
    Open();
    return Connected();
}

QString TComPort::GetComName(bool fullName) const
{
    return (fullName ? QStringLiteral("\\\\.\\COM%1") : QStringLiteral("COM%1")).arg(FComNumber);
}

void TComPort::RunDeliveries()
{
    doorbell_->Drain();
    if (!FReadThread)
        return; // a ring from a reader that has been stopped since
    const std::shared_ptr<TReaderHandOver> handOver = FReadThread->HandOver();
    TReaderHandOver::Delivery delivery {};
    if (!handOver->Take(delivery))
        return;
    const bool called = HasReceiver();
    // The receiver may write, hold reading, close, reopen or destroy this port: after it
    // returns only the hand-over, kept alive by `handOver`, is touched.
    DeliverRead(delivery.buffer, delivery.size, delivery.errCode);
    handOver->Finish(called);
}

bool TComPort::WriteBuffer(const uint8_t* buf, uint16_t size)
{
    if (!Connected())
        return false;
    using namespace std::chrono;
    tcflush(FHandle, TCIOFLUSH);
    const auto limit = milliseconds(timeouts_.WriteTotalTimeoutMultiplier * size +
                                    timeouts_.WriteTotalTimeoutConstant);
    const auto deadline = steady_clock::now() + limit;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(FHandle, buf + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        // The output queue is full: wait for room until the write time-out runs out. A
        // frame that could not be handed over in time is a failed write, not a success.
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd out {FHandle, POLLOUT, 0};
        poll(&out, 1, static_cast<int>(left));
    }
    while (tcdrain(FHandle) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

TComStat TComPort::GetState(uint32_t& codeError)
{
    codeError = 0;
    TComStat stat;
    if (!Connected())
        return stat;
    codeError = TakeLineErrors(FHandle, stateErrors_);
    stat.cbInQue = InputQueueLength(FHandle);
    stat.cbOutQue = OutputQueueLength(FHandle);
    return stat;
}

uint32_t TComPort::GetModemState() const
{
    return Connected() ? ModemStatus(FHandle) : 0;
}

void TComPort::ToggleDTR(bool state)
{
    if (Connected())
        SetModemLine(FHandle, TIOCM_DTR, state);
}

void TComPort::ToggleRTS(bool state)
{
    if (Connected())
        SetModemLine(FHandle, TIOCM_RTS, state);
}

void TComPort::EnumComPorts(QStringList& ports)
{
    ports.append(ListComPorts(false));
}
void TComPort::EnumComPortsEx(QStringList& ports)
{
    ports.append(ListComPorts(true));
}

} // namespace karvel
