#pragma once
// A port that is always open and reading, fed byte by byte by its owner: what the frame
// decoder needs when the bytes come from somewhere other than a serial port object.

#include "port_link.h"

#include <cstdint>

namespace karvel::sim {

class TFeedPort : public TPortLink {
public:
    bool Connected() const override { return true; }
    bool ReadActive() const override { return true; }
    void SetReadActive(bool) override { }
    bool PutClearEvents() const override { return false; }
    void SetPutClearEvents(bool) override { }
    bool WriteBuffer(const uint8_t*, uint16_t) override { return true; }
    void Feed(uint8_t byte) const { DeliverRead(&byte, 1, 0); }
};

} // namespace karvel::sim
