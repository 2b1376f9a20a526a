#pragma once
// The layout of the fuzz inputs, shared by the targets and the seed writer.
//
// fuzz_framing: byte 0 = variant (bits 0-1) and silence period (bits 2-7: after every
//   n-th byte the port reports silence; 0 never); byte 1 = network number of the request
//   sent before listening (the P6-43 master variant fills its answers with it); then the
//   received bytes, handed over one at a time as the port does.
// fuzz_terminal: byte 0 = model (bit 0 set: KR-200), byte 1 = network number; then
//   records: a tag byte and its bytes.

#include <cstdint>

namespace karvel::fuzz {

constexpr uint8_t kTagBadResponse = 0xFF; // a failed exchange
constexpr uint8_t kTagCommand = 0xFE; // next byte: an operator command
constexpr uint8_t kTagShow = 0xFD; // write the terminal into the display
// Tags below 0x80: an answer of (tag & 0x3F) bytes follows. Bit 6 set: the answer's first
// two bytes are replaced by the terminal's own number and an answer code picked by the
// next byte, so that most inputs reach the decoders.
constexpr uint8_t kTagSteered = 0x40;
constexpr uint8_t kAnswerCodes[] = {0xC3, 0xC4, 0xC5, 0xBF, 0xC8, 0xB3, 0xB4, 0xDF};

} // namespace karvel::fuzz
