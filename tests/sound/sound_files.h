#pragma once
// Sound files made by the tests themselves: a WAV of a tone, a small MIDI tune, the same
// tune wrapped as RMI.

#include <QByteArray>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace karvel::test {

inline void PutLe(QByteArray& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void PutBe(QByteArray& out, uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A RIFF file of form `form` with the chunks given as (id, body) pairs.
inline QByteArray Riff(const char* form,
                       std::initializer_list<std::pair<const char*, QByteArray>> chunks)
{
    QByteArray body(form, 4);
    for (const auto& [id, data] : chunks) {
        body.append(id, 4);
        PutLe(body, static_cast<uint32_t>(data.size()), 4);
        body.append(data);
        if (data.size() & 1)
            body.append('\0');
    }
    QByteArray out("RIFF");
    PutLe(out, static_cast<uint32_t>(body.size()), 4);
    return out + body;
}

inline QByteArray FmtChunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    QByteArray fmt;
    PutLe(fmt, tag, 2);
    PutLe(fmt, channels, 2);
    PutLe(fmt, rate, 4);
    PutLe(fmt, rate * channels * bits / 8, 4);
    PutLe(fmt, channels * bits / 8, 2);
    PutLe(fmt, bits, 2);
    return fmt;
}

// `ms` of a 440 Hz tone, 16-bit mono.
inline QByteArray ToneWav(int ms, uint32_t rate = 22050)
{
    QByteArray data;
    const int frames = static_cast<int>(rate) * ms / 1000;
    for (int i = 0; i < frames; ++i) {
        const double v = 0.3 * std::sin(2 * std::numbers::pi * 440 * i / rate);
        PutLe(data, static_cast<uint16_t>(static_cast<int16_t>(v * 32767)), 2);
    }
    return Riff("WAVE", {{"fmt ", FmtChunk(1, 1, rate, 16)}, {"data", data}});
}

// One track: a piano note of about `ms` at 120 beats a minute, 480 ticks a beat.
inline QByteArray MidiTune(int ms = 300)
{
    const uint32_t ticks = static_cast<uint32_t>(ms) * 480 / 500;
    QByteArray track;
    auto delta = [&](uint32_t value) {
        QByteArray bytes;
        bytes.prepend(static_cast<char>(value & 0x7F));
        while (value >>= 7)
            bytes.prepend(static_cast<char>((value & 0x7F) | 0x80));
        track.append(bytes);
    };
    delta(0);
    track.append("\xC0\x00", 2); // program: piano
    delta(0);
    track.append("\x90\x45\x64", 3); // note on A4
    delta(ticks);
    track.append("\x80\x45\x40", 3); // note off
    delta(0);
    track.append("\xFF\x2F\x00", 3); // end of track
    QByteArray smf("MThd");
    PutBe(smf, 6, 4);
    PutBe(smf, 0, 2); // format 0
    PutBe(smf, 1, 2); // one track
    PutBe(smf, 480, 2); // ticks per beat
    smf.append("MTrk");
    PutBe(smf, static_cast<uint32_t>(track.size()), 4);
    return smf + track;
}

inline QByteArray RmiOf(const QByteArray& smf)
{
    return Riff("RMID", {{"data", smf}});
}

} // namespace karvel::test
