#pragma once
// The serial port component: opens one serial device by port number, applies the line
// settings, writes request frames and runs a reader that hands every received byte, one
// at a time, to the byte receiver on the thread that opened the port (the main thread).
// It also reports silence once per request (the empty notification).
//
// A port belongs to the thread that runs the Qt event loop (the main thread): it is
// opened, closed, written and destroyed there, and every delivery runs there.

#include "com_prop.h"
#include "port_link.h"
#include "serial_status.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

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

    void Open();
    void Close();
    bool Connect();
    QString GetComName(bool fullName) const;
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
};

} // namespace karvel
