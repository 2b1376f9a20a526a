#include "com_vistam.h"

#include "crc8.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace karvel {

namespace {

constexpr uint8_t kStart = 0xFF;
constexpr uint8_t kStuff = 0xFE;
constexpr uint8_t kP643DataRequest = 0x10;
constexpr int kP643AnswerLength = 11; // 10 hex, the address, nine answer bytes

void YieldProcessor()
{
    std::this_thread::yield();
}

// Appends bytes to a fixed buffer and remembers whether anything did not fit.
class FrameWriter {
public:
    FrameWriter(uint8_t* out, int capacity) : out_(out), capacity_(capacity) { }
    void Put(uint8_t b)
    {
        if (size_ < capacity_)
            out_[size_] = b;
        ++size_;
    }
    uint8_t& At(int index) { return out_[index]; }
    int Result() const { return size_ <= capacity_ ? size_ : 0; }

private:
    uint8_t* out_;
    int capacity_;
    int size_ = 0;
};

} // namespace

int BuildVistamFrame(const uint8_t* data, int size, uint8_t* out, int capacity)
{
    FrameWriter frame(out, capacity);
    frame.Put(kStart);
    for (int i = 0; i < size; ++i) {
        frame.Put(data[i]);
        if (data[i] == kStart)
            frame.Put(kStuff);
    }
    const uint8_t crc = Crc8OfData(data, size);
    frame.Put(crc);
    if (crc == kStart)
        frame.Put(kStuff);
    frame.Put(kStart);
    frame.Put(kStart);
    return frame.Result();
}

int BuildBbsFrame(const uint8_t* data, int size, uint8_t* out, int capacity)
{
    const int length = size + 4;
    if (length > capacity)
        return 0;
    // 0-based here: out[0] start, out[1] link byte, data, checksum, end byte.
    out[0] = kStart;
    std::memcpy(out + 2, data, static_cast<size_t>(size));
    out[size + 2] = Crc8OfData(data, size);
    out[size + 3] = kStart;
    // Every FF after the link byte is replaced by the distance to the next FF; the chain
    // starts at the link byte and ends at the end byte, which stays FF.
    int prev = 1;
    for (int pos = 2; pos < length; ++pos) {
        if (out[pos] == kStart) {
            out[prev] = static_cast<uint8_t>(pos - prev);
            prev = pos;
        }
    }
    out[length - 1] = kStart;
    return length;
}

struct TComVistam::Variant {
    void (TComVistam::*send)(const uint8_t* data, uint8_t colByte);
    void (TComVistam::*receive)(uint8_t byte, int size);
};

// Indexed by TProtocol.
const TComVistam::Variant TComVistam::kVariants[kVariantCount] = {
    {&TComVistam::SendVistam, &TComVistam::ReceiveVistam},
    {&TComVistam::SendBbs, &TComVistam::ReceiveBbs},
    {&TComVistam::SendP643Master, &TComVistam::ReceiveP643Master},
    {&TComVistam::SendNothing, &TComVistam::ReceiveP643Slave},
};

TComVistam::TComVistam() = default;

TComVistam::~TComVistam()
{
    if (port_)
        port_->ClearOnReadPacket();
}

void TComVistam::SetComPort(TPortLink* port)
{
    if (port_ && port_ != port)
        port_->ClearOnReadPacket(); // the old port must not call a receiver it forgot
    port_ = port;
    if (port_) {
        port_->SetOnReadPacket([this](const uint8_t* buffer, int size,
                                      uint32_t errCode) { ReceiveEntry(buffer, size, errCode); },
                               [this] { port_ = nullptr; });
    }
}

void TComVistam::SendValue(const uint8_t* data, uint8_t colByte)
{
    const auto index = static_cast<uint8_t>(protocol_);
    if (index < kVariantCount && data != nullptr && colByte > 0)
        (this->*kVariants[index].send)(data, colByte);
}

void TComVistam::ClearMessage()
{
    doing_ = TFrameStep::HuntStart; // 0: the first step of every variant
    colR_ = 0;
    netNOld_ = 0;
    otlCmdOld_ = 0;
    findMail_ = false;
}

void TComVistam::ReceiveEntry(const uint8_t* buffer, int size, uint32_t /*errCode*/)
{
    const auto index = static_cast<uint8_t>(protocol_);
    if (index >= kVariantCount)
        return;
    const uint8_t byte = (buffer != nullptr) ? buffer[0] : 0;
    (this->*kVariants[index].receive)(byte, size);
}

bool TComVistam::PortReady() const
{
    return port_ != nullptr && port_->Connected();
}

bool TComVistam::ReadActive() const
{
    return port_ != nullptr && port_->ReadActive();
}

void TComVistam::Deliver(const uint8_t* buffer, int colByte, bool findMail)
{
    if (OnNewPacketRead && ReadActive())
        OnNewPacketRead(buffer, static_cast<uint8_t>(colByte), findMail);
}

void TComVistam::RaiseError(uint8_t code)
{
    if (OnError && ReadActive())
        OnError(code);
}

// ---- sending -------------------------------------------------------------------------

void TComVistam::SendFramed(int length)
{
    tBuffTrCol_ = static_cast<uint8_t>(length);
    port_->WriteBuffer(&tBuffTr_[1], static_cast<uint16_t>(length));
    port_->SetPutClearEvents(true);
    YieldProcessor();
}

void TComVistam::SendVistam(const uint8_t* data, uint8_t colByte)
{
    if (!PortReady()) {
        YieldProcessor();
        return;
    }
    ClearMessage();
    const int length = BuildVistamFrame(data, colByte, &tBuffTr_[1], kSendBufferSize);
    if (length > 0)
        SendFramed(length);
}

void TComVistam::SendBbs(const uint8_t* data, uint8_t colByte)
{
    if (!PortReady()) {
        YieldProcessor();
        return;
    }
    ClearMessage();
    const int length = BuildBbsFrame(data, colByte, &tBuffTr_[1], kSendBufferSize);
    if (length > 0)
        SendFramed(length);
}

void TComVistam::SendP643Master(const uint8_t* data, uint8_t colByte)
{
    if (port_ == nullptr)
        return;
    netNOld_ = data[0];
    const bool dataAnswer = colByte >= 2 && data[1] == kP643DataRequest;
    if (dataAnswer) {
        doing_ = TMasterStep::DataAnswer;
    } else {
        // The device acknowledges with one byte: listen before the command goes out.
        doing_ = TMasterStep::Acknowledgement;
        port_->SetReadActive(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (colByte > 1)
        port_->WriteBuffer(data + 1, static_cast<uint16_t>(colByte - 1));
    if (dataAnswer)
        port_->SetReadActive(true);
    port_->SetPutClearEvents(true);
}

void TComVistam::SendNothing(const uint8_t*, uint8_t) { }

// ---- receiving -----------------------------------------------------------------------

// Steps shared by the two framed variants. Returns true when the byte was stored and the
// frame is being collected; an empty notification ends the call here.
bool TComVistam::StoreByte(uint8_t byte, int size)
{
    if (size == 0) {
        if (ReadActive()) {
            Deliver(&rBuff_[1], 0, false);
            ClearMessage();
        }
        return false;
    }
    ++colR_;
    if (colR_ <= kBufferSize)
        pRBuff_[colR_] = byte; // a 256th byte is not stored: the overflow test drops it
    return HuntStart();
}

// Before the frame: any run of start bytes leaves one start byte at position 1.
bool TComVistam::HuntStart()
{
    switch (doing_) {
    case TFrameStep::HuntStart:
        if (pRBuff_[colR_] == kStart)
            doing_ = TFrameStep::StartSeen;
        else
            colR_ = 0;
        return false;
    case TFrameStep::StartSeen:
        if (pRBuff_[colR_] == kStart)
            --colR_;
        else
            doing_ = TFrameStep::Collecting;
        return false;
    default:
        return true;
    }
}

void TComVistam::Overflow()
{
    ClearMessage();
    RaiseError(ErrOverflow);
}

void TComVistam::ReceiveVistam(uint8_t byte, int size)
{
    if (!StoreByte(byte, size))
        return;
    if (colR_ > kBufferSize) {
        Overflow();
        return;
    }
    if (pRBuff_[colR_ - 1] == kStart && pRBuff_[colR_] == kStart)
        FinishVistamFrame();
}

void TComVistam::FinishVistamFrame()
{
    // Remove the stuffing: an FE after an FF (beyond the first body byte) was inserted.
    int count = 0;
    for (int pos = 1; pos <= colR_; ++pos) {
        const uint8_t b = pRBuff_[pos];
        if (b == kStuff && pos >= 3 && pRBuff_[pos - 1] == kStart)
            continue;
        rBuff_[++count] = b;
    }
    colR_ = count;
    // rBuff_ holds FF, body, FF, FF. A frame without a data byte carries no answer.
    if (colR_ < 5 || CRCMaker(&rBuff_[1], static_cast<uint8_t>(colR_ - 3), 1) != 0) {
        colR_ = 0;
        RaiseError(ErrChecksum);
        return;
    }
    simCol_ = colR_ - 3; // data bytes plus the checksum byte
    std::memmove(&rBuff_[1], &rBuff_[2], static_cast<size_t>(simCol_));
    std::memset(&rBuff_[simCol_ + 1], 0, static_cast<size_t>(kBufferSize - simCol_));
    findMail_ = true;
    if (port_)
        port_->SetPutClearEvents(false);
    Deliver(&rBuff_[1], simCol_, true);
    colR_ = 0;
}

void TComVistam::ReceiveBbs(uint8_t byte, int size)
{
    if (!StoreByte(byte, size))
        return;
    if (colR_ > kBufferSize) {
        Overflow();
        return;
    }
    if (pRBuff_[colR_] == kStart)
        FinishBbsFrame();
}

void TComVistam::FinishBbsFrame()
{
    findMail_ = false;
    // Undo the link chain: each link is the distance to the next byte that was FF.
    int pos = 2;
    for (;;) {
        const uint8_t link = pRBuff_[pos];
        pRBuff_[pos] = kStart;
        if (link == 0)
            break;
        pos += link;
        if (pos >= colR_)
            break;
    }
    // pRBuff_ holds FF, link, data, checksum, FF. A frame without a data byte is no answer.
    if (colR_ < 5 || CRCMaker(&pRBuff_[1], static_cast<uint8_t>(colR_ - 3), 2) != 0) {
        colR_ = 0;
        doing_ = TFrameStep::HuntStart;
        RaiseError(ErrChecksum);
        return;
    }
    simCol_ = colR_ - 4; // data bytes only
    std::memmove(&pRBuff_[1], &pRBuff_[3], static_cast<size_t>(simCol_));
    std::memset(&pRBuff_[simCol_ + 1], 0, static_cast<size_t>(kBufferSize - simCol_));
    findMail_ = true;
    if (port_)
        port_->SetPutClearEvents(false);
    Deliver(&pRBuff_[1], simCol_, true);
    colR_ = 0;
    doing_ = TFrameStep::HuntStart;
}

// Nine answer bytes are put behind 10 hex and the addressed device's number.
void TComVistam::CollectFixedAnswer(uint8_t byte)
{
    if (colR_ == 0 || colR_ >= kP643AnswerLength) {
        pRBuff_[1] = kP643DataRequest;
        pRBuff_[2] = netNOld_;
        colR_ = 2;
    }
    pRBuff_[++colR_] = byte;
}

void TComVistam::ReceiveP643Master(uint8_t byte, int size)
{
    if (size == 0) {
        if (ReadActive()) {
            Deliver(&rBuff_[1], 0, false);
            ClearMessage();
        }
        return;
    }
    if (port_ == nullptr)
        return;
    if (doing_ == TMasterStep::DataAnswer) {
        CollectFixedAnswer(byte);
        if (colR_ < kP643AnswerLength)
            return;
        findMail_ = true;
        Deliver(&pRBuff_[1], kP643AnswerLength, true);
        colR_ = 0;
        port_->SetReadActive(false);
    } else {
        // A one-byte acknowledgement: whatever arrived, it is reported as FF + address.
        pRBuff_[1] = kStart;
        pRBuff_[2] = netNOld_;
        findMail_ = true;
        Deliver(&pRBuff_[1], 2, true);
        port_->SetReadActive(false);
        colR_ = 0;
    }
}

void TComVistam::ReceiveP643Slave(uint8_t byte, int /*size*/)
{
    switch (doing_) {
    case TSlaveStep::Idle:
        if (byte == 0x01 || byte == kP643DataRequest) {
            doing_ = (byte == 0x01) ? TSlaveStep::Address : TSlaveStep::DataRequest;
            colR_ = 0;
        }
        break;
    case TSlaveStep::Address: {
        if (colR_ < 0 || colR_ >= 4)
            colR_ = 0;
        pRBuff_[++colR_] = byte;
        if (colR_ < 4)
            break;
        int number = 0;
        bool digits = true;
        for (int i = 1; i <= 4; ++i) {
            digits = digits && pRBuff_[i] >= '0' && pRBuff_[i] <= '9';
            number = number * 10 + (pRBuff_[i] - '0');
        }
        if (digits)
            netNOld_ = static_cast<uint8_t>(number & 0xFF);
        colR_ = 0;
        doing_ = TSlaveStep::Idle;
        break;
    }
    default:
        CollectFixedAnswer(byte);
        if (colR_ < kP643AnswerLength)
            break;
        findMail_ = true;
        Deliver(&pRBuff_[1], kP643AnswerLength, true);
        colR_ = 0;
        doing_ = TSlaveStep::Idle;
        break;
    }
}

} // namespace karvel
