#include "sound_beep.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace karvel {

namespace {

template <typename T> void Put(char* at, T value)
{
    std::memcpy(at, &value, sizeof value);
}

void PutSample(char* at, QAudioFormat::SampleFormat format, double v)
{
    switch (format) {
    case QAudioFormat::UInt8:
        Put(at, static_cast<uint8_t>(std::lround(128 + v * 127)));
        break;
    case QAudioFormat::Int16:
        Put(at, static_cast<int16_t>(std::lround(v * 32767)));
        break;
    case QAudioFormat::Int32:
        Put(at, static_cast<int32_t>(std::lround(v * 2147483647.0)));
        break;
    case QAudioFormat::Float:
        Put(at, static_cast<float>(v));
        break;
    default:
        break;
    }
}

} // namespace

QByteArray SineTone(const QAudioFormat& format, int hz, int ms)
{
    const int rate = format.sampleRate();
    const int channels = format.channelCount();
    const int bytes = format.bytesPerSample();
    if (rate <= 0 || channels <= 0 || bytes <= 0)
        return {};
    const int frames = rate * ms / 1000;
    const int fade = rate * 5 / 1000;
    QByteArray out(static_cast<qsizetype>(frames) * channels * bytes, Qt::Uninitialized);
    for (int i = 0; i < frames; ++i) {
        const double envelope = std::min({1.0, double(i) / fade, double(frames - 1 - i) / fade});
        const double v = 0.5 * envelope * std::sin(2 * std::numbers::pi * hz * i / rate);
        for (int c = 0; c < channels; ++c)
            PutSample(out.data() + (static_cast<qsizetype>(i) * channels + c) * bytes,
                      format.sampleFormat(), v);
    }
    return out;
}

} // namespace karvel
