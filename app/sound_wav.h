#pragma once
// WAV files: RIFF/WAVE with integer PCM of 8, 16, 24 or 32 bits or 32-bit floats, plain
// or in the extensible format header. 24-bit samples are widened to 32 bits, since the
// audio output takes no 24-bit samples.

#include "sound_pcm.h"

#include <QString>

#include <memory>
#include <optional>

namespace karvel {

// True when `bytes` begins like a WAV file.
bool LooksLikeWav(const QByteArray& bytes);

// The PCM of a WAV file, or the reason it cannot be played.
struct TWavResult {
    std::unique_ptr<TMemoryPcm> pcm;
    QString error;
};
TWavResult ParseWav(const QByteArray& bytes);

} // namespace karvel
