#include "com_port.h"

#include "serial_device.h"
#include "serial_doorbell.h"
#include "serial_line.h"
#include "serial_reader.h"

#include "tty_control.h"

#include <QTimer>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

// How a delivery reaches the main thread, and why closing cannot deadlock:
//
// The reader reads every byte that is queued in one call into its hand-over
// (TReaderHandOver), marks it pending, rings the port's doorbell (an eventfd watched by a
// socket notifier of the main thread's event loop; nothing is allocated per burst). On
// the main thread RunDeliveries takes the burst byte by byte and calls the byte receiver
// once per byte, in order; after the last byte the hand-over is free again. The reader
// reads and reports nothing until then: before it touches the buffer or the request flag
// again it waits on a condition variable for the delivery to end. One wake-up of each
// thread carries a whole burst, yet the receiver sees what it always saw: one byte per
// call, silence reports between bursts, no call inside another.
//
// Close tells the hand-over to stop (releasing the reader from any wait: hold, hand-over)
// and rings the reader's own stop descriptor (ending its poll), then joins it. None of the
// reader's waits depends on the main thread once it has been told to stop, so the join
// always returns, also when Close runs inside a delivery or while the main thread has not
// yet taken a burst the reader rang for. Only after the join is the device closed, so the
// reader never polls or reads a closed (or reused) descriptor. A ring that is still
// queued in the event loop finds no reader, or the next reader's hand-over with nothing
// pending, and does nothing. A delivery that is running when the handler closes or
// destroys the port finishes on the hand-over alone, which it keeps alive itself, and
// delivers nothing more.

namespace karvel {

namespace {

const TCommTimeouts kOpenTimeouts {20, 4, 20, 4, 20};

// 1.5 character times (start bit, data bits, parity bit, stop bits), at most the read
// interval time-out: slow lines never hold a burst back longer than that.
uint32_t BurstGapMicros(const TDCB& dcb, const TCommTimeouts& timeouts)
{
    if (dcb.BaudRate == 0)
        return 0;
    const uint64_t bits =
        1u + dcb.ByteSize + (dcb.Parity != 0 ? 1u : 0u) + (dcb.StopBits != 0 ? 2u : 1u);
    const uint64_t gap = 1'500'000ull * bits / dcb.BaudRate;
    return static_cast<uint32_t>(std::min<uint64_t>(gap, timeouts.ReadIntervalTimeout * 1000ull));
}

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
    lastError_.clear();
    if (!doorbell_)
        doorbell_ = std::make_unique<TSerialDoorbell>([this] { RunDeliveries(); });
    if (!doorbell_->Valid()) {
        lastError_ =
            QStringLiteral("Порт %1: нет ресурсов для потока чтения").arg(GetComName(false));
        return;
    }
    const std::string path = ComDevicePath(FComNumber);
    devicePath_ = QString::fromStdString(path);
    const int fd = OpenComDevice(path);
    if (fd < 0) {
        lastError_ =
            QStringLiteral("Устройство %1 (%2) не открыто: %3")
                .arg(devicePath_, GetComName(false), QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    // The kernel raises DTR and RTS when a tty opens; a converter keyed by RTS would hold
    // the bus in transmit until they drop. (Pseudo-terminals have no modem lines.)
    DropModemLines(fd);
    if (!ApplyRawMode(fd)) {
        lastError_ =
            QStringLiteral("Устройство %1 (%2) не открыто: %3")
                .arg(devicePath_, GetComName(false), QString::fromLocal8Bit(strerror(errno)));
        CloseComDevice(fd);
        return;
    }
    if (FRs485 && !EnableRs485Mode(fd)) {
        lastError_ =
            QStringLiteral("Устройство %1 (%2) не поддерживает режим RS-485: %3")
                .arg(devicePath_, GetComName(false), QString::fromLocal8Bit(strerror(errno)));
        CloseComDevice(fd);
        return;
    }
    // A record the line cannot take leaves the line's previous settings; the port still
    // opens, as it does when the platform refuses a line-settings record.
    const TDCB dcb = FComProp.DCB();
    ApplyDcb(fd, dcb);
    timeouts_ = kOpenTimeouts;
    shared_->burstGapMicros.store(BurstGapMicros(dcb, timeouts_));
    stateErrors_ = {};
    lineStatusKnown_ = true;
    std::string threadError;
    FReadThread = TReadThread::Create(fd, FInBufSize, shared_, doorbell_->Fd(), threadError);
    if (!FReadThread) {
        lastError_ = QStringLiteral("Порт %1: поток чтения не запущен: %2")
                         .arg(GetComName(false), QString::fromStdString(threadError));
        DropModemLines(fd);
        CloseComDevice(fd);
        return;
    }
    FHandle = fd;
}

void TComPort::Close()
{
    lost_ = false;
    if (reopenTimer_)
        reopenTimer_->stop();
    CloseDevice();
}

void TComPort::CloseDevice()
{
    if (!Connected())
        return;
    SetReadActive(false);
    FReadThread->Stop();
    FReadThread.reset();
    DropModemLines(FHandle); // the port leaves no line raised behind it
    CloseComDevice(FHandle);
    FHandle = -1;
}

void TComPort::DeviceLost()
{
    CloseDevice();
    lost_ = true;
    if (!reopenTimer_) {
        reopenTimer_ = std::make_unique<QTimer>();
        reopenTimer_->setInterval(kReopenIntervalMs);
        QObject::connect(reopenTimer_.get(), &QTimer::timeout, reopenTimer_.get(),
                         [this] { TryReopen(); });
    }
    reopenTimer_->start();
    if (OnPortLost)
        OnPortLost(); // may close or reopen the port itself
}

void TComPort::TryReopen()
{
    if (!lost_ || Connected()) {
        reopenTimer_->stop();
        return;
    }
    // A device that was reached through the user's link comes back through that link
    // only: while the link is away (an adapter's name removed with it), the port number
    // must not fall back to the on-board port of the same number.
    if (devicePath_ == QString::fromStdString(ComLinkPath(FComNumber)) &&
        !ComLinkPresent(FComNumber))
        return;
    Open(); // the port number's link is resolved anew
    if (!Connected())
        return;
    lost_ = false;
    reopenTimer_->stop();
    if (OnPortBack)
        OnPortBack();
}

void TComPort::SetFrameEnd(int32_t endPair)
{
    shared_->frameEnd.store(endPair);
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
    // Take fails once the reader was told to end, so a receiver that closed, reopened or
    // destroyed this port ends the loop before anything of the port is touched again.
    while (handOver->Take(delivery)) {
        if (delivery.kind == TReaderHandOver::Kind::Lost) {
            handOver->Finish();
            DeviceLost();
            return;
        }
        DeliverRead(delivery.buffer, delivery.size, delivery.errCode);
        handOver->Finish();
    }
}

bool TComPort::WriteBuffer(const uint8_t* buf, uint16_t size)
{
    if (!Connected())
        return false;
    using namespace std::chrono;
    // Unread input goes, including what the reader has read but not yet delivered.
    tcflush(FHandle, TCIOFLUSH);
    FReadThread->HandOver()->Purge();
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
    return WaitUntilSent(deadline);
}

// Waits until the frame has left the port, at most until `deadline`: an adapter that
// stalls (a USB converter that stopped taking data, output held by flow control) gives
// a failed write instead of a window that hangs in the kernel's unbounded drain.
bool TComPort::WaitUntilSent(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    const auto byteTime = microseconds(10'000'000 / std::max<uint32_t>(FComProp.DCB().BaudRate, 1));
    for (;;) {
        uint32_t queued = OutputQueueLength(FHandle);
        if (queued == 0 && lineStatusKnown_) {
            // The driver's queue is empty; a UART still has its FIFO and shift register.
            unsigned int lsr = 0;
            if (TtyControl().Ioctl(FHandle, TIOCSERGETLSR, &lsr) != 0)
                lineStatusKnown_ = false; // pseudo-terminals and some adapters cannot tell
            else if ((lsr & TIOCSER_TEMT) == 0)
                queued = 1;
        }
        if (queued == 0)
            return true;
        const auto now = steady_clock::now();
        if (now >= deadline)
            return false;
        const auto wait = std::min<steady_clock::duration>(deadline - now, byteTime * queued);
        std::this_thread::sleep_for(wait);
    }
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
