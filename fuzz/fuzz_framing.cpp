// Receive side of the framing, all four variants: any byte stream, with silence notices
// in between, must neither crash nor hand over a packet that breaks the framing's word.
#include "com_vistam.h"
#include "crc8.h"
#include "fuzz_input.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace karvel;

class FuzzPort : public TPortLink {
public:
    bool Connected() const override { return true; }
    bool ReadActive() const override { return readActive; }
    void SetReadActive(bool active) override { readActive = active; }
    bool PutClearEvents() const override { return outstanding; }
    void SetPutClearEvents(bool value) override { outstanding = value; }
    bool WriteBuffer(const uint8_t*, uint16_t) override { return true; }
    void Byte(uint8_t b) { DeliverRead(&b, 1, 0); }
    void Silence() { DeliverRead(nullptr, 0, 0); }

    bool readActive = true;
    bool outstanding = false;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const auto protocol = static_cast<TProtocol>(data[0] & 3);
    const int silenceEvery = data[0] >> 2;
    const uint8_t net = data[1];

    FuzzPort port;
    TComVistam framing;
    framing.SetComPort(&port);
    framing.SetProtocol(protocol);
    bool delivered = false;
    framing.OnNewPacketRead = [&](const uint8_t* value, uint8_t colByte, bool findMail) {
        delivered = true;
        // The handler may read the whole 255-byte buffer: every byte must be there.
        volatile uint8_t sink = 0;
        for (int i = 0; i < TComVistam::kBufferSize; ++i)
            sink = sink ^ value[i];
        if (findMail && protocol == TProtocol::VISTAM) {
            // A VISTAM packet is data and its checksum: it checks to zero.
            Check(colByte >= 2);
            Check(CRCMaker(value, colByte, 0) == 0);
        }
        if (findMail && protocol == TProtocol::P6_43Master) {
            Check(colByte == 11 && value[0] == 0x10 && value[1] == net);
        }
        if (!findMail)
            Check(colByte == 0);
    };

    // A request goes out first, so the receive side waits for an answer. The P6-43
    // master is sent a data request (its acknowledgement mode sleeps 20 ms per request
    // and would slow the fuzzer to a crawl; it is one assignment of the same code).
    const uint8_t request[] = {net, 0x10, 0x01};
    framing.SendValue(request, sizeof request);

    for (size_t i = 2; i < size; ++i) {
        port.Byte(data[i]);
        Check(framing.CollectedBytes() >= 0 &&
              framing.CollectedBytes() <= TComVistam::kBufferSize + 1);
        if (silenceEvery != 0 && (i - 1) % static_cast<size_t>(silenceEvery) == 0)
            port.Silence();
        // As on a line: every delivery, packet or silence, is followed by the next request.
        if (delivered) {
            delivered = false;
            framing.SendValue(request, sizeof request);
        }
    }
    return 0;
}
