#pragma once
// What the framing component needs of a serial port. The real port (TComPort) and the
// test doubles implement it; the framing code never sees anything else of the port.

#include <cstdint>
#include <functional>

namespace karvel {

// Receiver of the port's bytes: one byte per call (Size 1, the byte at Buffer[0]) or an
// empty notification (Size 0) when a request is outstanding and the line stayed silent.
using TReadPacketEvent = std::function<void(const uint8_t* buffer, int size, uint32_t errCode)>;

class TPortLink {
public:
    TPortLink() = default;
    TPortLink(const TPortLink&) = delete;
    TPortLink& operator=(const TPortLink&) = delete;
    virtual ~TPortLink();

    virtual bool Connected() const = 0;
    virtual bool ReadActive() const = 0;
    virtual void SetReadActive(bool active) = 0;
    // The request-outstanding flag shared by the framing component and the reader.
    virtual bool PutClearEvents() const = 0;
    virtual void SetPutClearEvents(bool outstanding) = 0;
    // Discards pending input and output, writes and waits until the bytes are sent.
    virtual bool WriteBuffer(const uint8_t* buf, uint16_t size) = 0;
    // The two bytes that end every frame of the framing in use (first << 8 | second), -1
    // when frames have no such end. Only a hint: a port that collects bytes arriving at
    // the line's pace may hand them over as soon as they end like a frame.
    virtual void SetFrameEnd(int32_t /*endPair*/) { }

    // Installs the byte receiver. `onPortDestroyed` runs when this port goes away, so a
    // receiver never keeps a pointer to a destroyed port.
    void SetOnReadPacket(TReadPacketEvent handler, std::function<void()> onPortDestroyed = {});
    void ClearOnReadPacket();

protected:
    bool HasReceiver() const { return static_cast<bool>(onReadPacket_); }
    void DeliverRead(const uint8_t* buffer, int size, uint32_t errCode) const
    {
        if (onReadPacket_)
            onReadPacket_(buffer, size, errCode);
    }

private:
    TReadPacketEvent onReadPacket_;
    std::function<void()> onDestroyed_;
};

} // namespace karvel
