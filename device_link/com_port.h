#pragma once
// The serial port component: opens one serial device by port number, applies the line
// settings, writes request frames and runs a reader that hands every received byte, one
// at a time, to the byte receiver on the thread that opened the port (the main thread);
// the bytes of one burst arrive from one wake-up of that thread. It also reports silence
// once per request (the empty notification), and reopens a device that went away.
//
// A port belongs to the thread that runs the Qt event loop (the main thread): it is
// opened, closed, written and destroyed there, and every delivery runs there.

#include "com_prop.h"
#include "port_link.h"
#include "serial_status.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

namespace karvel {

class TReadThread;
class TSerialDoorbell;
struct TPortShared;

// Time-outs the port sets when it opens. The reader only ever reads bytes already queued,
// so the read time-outs never come into play; the write time-outs bound WriteBuffer.
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

class TComPort : public TPortLink {
public:
    TComPort();
    ~TComPort() override;

    int ComNumber() const { return FComNumber; }
    void SetComNumber(int number);
    TComProp& ComProp() { return FComProp; }
    const TComProp& ComProp() const { return FComProp; }
    uint32_t InBufSize() const { return FInBufSize; }
    void SetInBufSize(uint32_t size);
    uint32_t TimeReceiveByte() const;
    void SetTimeReceiveByte(uint32_t ms);

    bool Connected() const override { return FHandle >= 0; }
    void SetConnected(bool connected);
    bool ReadActive() const override;
    void SetReadActive(bool active) override;
    bool PutClearEvents() const override;
    void SetPutClearEvents(bool outstanding) override;
    bool WriteBuffer(const uint8_t* buf, uint16_t size) override;
    void SetFrameEnd(int32_t endPair) override;

    // Kernel RS-485 mode: the driver switches the line's direction with RTS. Taken at the
    // next open; a device without the mode then does not open.
    bool Rs485() const { return FRs485; }
    void SetRs485(bool on) { FRs485 = on; }

    void Open();
    // Closes the device; a port waiting for its lost device gives up waiting.
    void Close();
    bool Connect();
    QString GetComName(bool fullName) const;
    // Why the last Open failed, naming the device; empty after a successful one.
    const QString& LastError() const { return lastError_; }
    // The device file the port opened (or tried to open) last.
    const QString& DevicePath() const { return devicePath_; }

    // The device went away (hang-up, pulled adapter): the port has closed it and tries to
    // open the port number again every kReopenIntervalMs, resolving its link anew each
    // time, until it opens (OnPortBack, reader held as after any Open) or Close is called.
    static constexpr int kReopenIntervalMs = 1000;
    bool Lost() const { return lost_; }
    std::function<void()> OnPortLost;
    std::function<void()> OnPortBack;
    // The open device's descriptor, -1 when closed (for line-status tools and tests).
    int Handle() const { return FHandle; }
    const TCommTimeouts& Timeouts() const { return timeouts_; }

    TComStat GetState(uint32_t& codeError);
    uint32_t GetModemState() const;
    void ToggleDTR(bool state);
    void ToggleRTS(bool state);

    static void EnumComPorts(QStringList& ports);
    static void EnumComPortsEx(QStringList& ports);

private:
    void RunDeliveries();
    void CloseDevice();
    void DeviceLost();
    void TryReopen();
    bool WaitUntilSent(std::chrono::steady_clock::time_point deadline);

    int FComNumber = 1;
    int FHandle = -1;
    std::unique_ptr<TReadThread> FReadThread;
    uint32_t FInBufSize = 255;
    TComProp FComProp;
    std::shared_ptr<TPortShared> shared_;
    TCommTimeouts timeouts_;
    TLineErrorCounters stateErrors_;
    // Made at the first Open, on the thread that will run the deliveries.
    std::unique_ptr<TSerialDoorbell> doorbell_;
    bool FRs485 = false;
    QString lastError_;
    QString devicePath_;
    bool lost_ = false;
    std::unique_ptr<QTimer> reopenTimer_;
    bool lineStatusKnown_ = true; // false once the device refused the transmitter status
};

} // namespace karvel
