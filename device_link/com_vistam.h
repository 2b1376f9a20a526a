#pragma once
// Packet framing on a terminal line: turns request blocks into frames on the wire and the
// byte stream that comes back into delivered packets. Four framing variants sit behind one
// table of per-variant handlers; the component never looks at a packet's contents.

#include "port_link.h"

#include <cstdint>
#include <functional>

namespace karvel {

enum class TProtocol : uint8_t { VISTAM = 0, BBS = 1, P6_43Master = 2, P6_43Slave = 3 };

// value: the component's whole 255-byte output buffer (value[0] is its first position);
// valid for the duration of the call only. colByte: meaningful bytes at its start.
// findMail: true for a good frame, false for the notice that no valid answer came.
using TOnNewPacketRead = std::function<void(const uint8_t* value, uint8_t colByte, bool findMail)>;
// Framing errors: 1 = frame overflow, 3 = bad checksum.
using TOnError = std::function<void(uint8_t errCode)>;

// Frame builders shared with the terminal simulator. They return the frame length, or 0
// when the frame does not fit in `capacity` bytes.
int BuildVistamFrame(const uint8_t* data, int size, uint8_t* out, int capacity);
int BuildBbsFrame(const uint8_t* data, int size, uint8_t* out, int capacity);

class TComVistam {
public:
    static constexpr int kBufferSize = 255; // positions 1..255 of the receive buffers
    static constexpr int kSendBufferSize = 150;
    enum ErrorCode : uint8_t { ErrOverflow = 1, ErrChecksum = 3 };

    TComVistam();
    ~TComVistam();
    TComVistam(const TComVistam&) = delete;
    TComVistam& operator=(const TComVistam&) = delete;

    // Attaching a port makes this component the port's byte receiver; nullptr forgets it.
    void SetComPort(TPortLink* port);
    TPortLink* ComPort() const { return port_; }

    TProtocol Protocol() const { return protocol_; }
    void SetProtocol(TProtocol protocol) { protocol_ = protocol; } // receive state kept

    TOnNewPacketRead OnNewPacketRead;
    TOnError OnError;

    void SendValue(const uint8_t* data, uint8_t colByte);
    void ClearMessage();

    // The receive entry the port calls with each byte or empty notification.
    void ReceiveEntry(const uint8_t* buffer, int size, uint32_t errCode);

    // The receive state. Its values mean a different step in each variant.
    struct TFrameStep { // VISTAM and BBS
        enum : uint8_t { HuntStart = 0, StartSeen = 1, Collecting = 2 };
    };
    struct TMasterStep { // P6-43 master: what the request that went out gets back
        enum : uint8_t { DataAnswer = 0, Acknowledgement = 1 };
    };
    struct TSlaveStep { // P6-43 slave: what the master sends
        enum : uint8_t { Idle = 0, Address = 1, DataRequest = 2 };
    };

    // Inspection for tests and diagnostics.
    uint8_t State() const { return doing_; }
    int CollectedBytes() const { return colR_; }
    bool FindMail() const { return findMail_; }
    uint8_t NetNOld() const { return netNOld_; }
    const uint8_t* LastFrameSent() const { return &tBuffTr_[1]; }
    uint8_t LastFrameSentLength() const { return tBuffTrCol_; }

private:
    struct Variant;
    static constexpr int kVariantCount = 4; // one per TProtocol value
    static const Variant kVariants[kVariantCount];

    void SendVistam(const uint8_t* data, uint8_t colByte);
    void SendBbs(const uint8_t* data, uint8_t colByte);
    void SendP643Master(const uint8_t* data, uint8_t colByte);
    void SendNothing(const uint8_t* data, uint8_t colByte);
    void ReceiveVistam(uint8_t byte, int size);
    void ReceiveBbs(uint8_t byte, int size);
    void ReceiveP643Master(uint8_t byte, int size);
    void ReceiveP643Slave(uint8_t byte, int size);

    bool PortReady() const;
    bool ReadActive() const;
    void SendFramed(int length);
    bool StoreByte(uint8_t byte, int size);
    bool HuntStart();
    void CollectFixedAnswer(uint8_t byte);
    void Deliver(const uint8_t* buffer, int colByte, bool findMail);
    void RaiseError(uint8_t code);
    void Overflow();
    void FinishVistamFrame();
    void FinishBbsFrame();

    TPortLink* port_ = nullptr;
    TProtocol protocol_ = TProtocol::VISTAM;
    int colR_ = 0;
    uint8_t doing_ = 0;
    int simCol_ = 0;
    uint8_t netNOld_ = 0;
    uint8_t otlCmdOld_ = 0;
    bool findMail_ = false;
    uint8_t tBuffTrCol_ = 0;
    // Index 0 of the receive buffers is never written and reads 0: the end-marker test
    // looks one position back and must not see a byte of an earlier frame there.
    uint8_t pRBuff_[kBufferSize + 1] = {};
    uint8_t rBuff_[kBufferSize + 1] = {};
    uint8_t tBuffTr_[kSendBufferSize + 1] = {};
};

} // namespace karvel
