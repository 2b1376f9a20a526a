#include "sound_wav.h"

#include <QtEndian>

#include <cstring>

namespace karvel {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint16_t U16(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<uint16_t>(b.constData() + at);
}
uint32_t U32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<uint32_t>(b.constData() + at);
}

struct TWavFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
};

TWavResult Fail(const QString& text)
{
    return {nullptr, text};
}

// 24-bit little-endian samples widened to 32 bits (the low byte zero).
QByteArray Widen24(const QByteArray& data)
{
    const qsizetype samples = data.size() / 3;
    QByteArray out(samples * 4, Qt::Uninitialized);
    for (qsizetype i = 0; i < samples; ++i) {
        out[i * 4] = 0;
        std::memcpy(out.data() + i * 4 + 1, data.constData() + i * 3, 3);
    }
    return out;
}

std::optional<QAudioFormat::SampleFormat> SampleFormat(const TWavFormat& f)
{
    if (f.tag == kFormatFloat)
        return f.bits == 32 ? std::optional(QAudioFormat::Float) : std::nullopt;
    if (f.tag != kFormatPcm)
        return std::nullopt;
    switch (f.bits) {
    case 8:
        return QAudioFormat::UInt8;
    case 16:
        return QAudioFormat::Int16;
    case 24:
    case 32:
        return QAudioFormat::Int32;
    default:
        return std::nullopt;
    }
}

} // namespace

bool LooksLikeWav(const QByteArray& bytes)
{
    return bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WAVE";
}

TWavResult ParseWav(const QByteArray& bytes)
{
    if (!LooksLikeWav(bytes))
        return Fail(QStringLiteral("Файл не является файлом WAV"));
    TWavFormat format;
    bool haveFormat = false;
    QByteArray data;
    bool haveData = false;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = U32(bytes, at + 4);
        const qsizetype body = at + 8;
        const qsizetype available = std::min<qsizetype>(size, bytes.size() - body);
        if (id == "fmt " && available >= 16) {
            format = {U16(bytes, body), U16(bytes, body + 2), U32(bytes, body + 4),
                      U16(bytes, body + 14)};
            if (format.tag == kFormatExtensible && available >= 26)
                format.tag = U16(bytes, body + 24); // the sub-format GUID begins with the tag
            haveFormat = true;
        } else if (id == "data") {
            data = bytes.mid(body, available); // a cut-off file plays what it holds
            haveData = true;
        }
        at = body + size + (size & 1);
    }
    if (!haveFormat || !haveData)
        return Fail(QStringLiteral("Файл WAV повреждён"));
    const auto sampleFormat = SampleFormat(format);
    if (!sampleFormat || format.channels == 0 || format.rate == 0)
        return Fail(QStringLiteral("Неподдерживаемый формат файла WAV"));
    if (format.bits == 24)
        data = Widen24(data);
    QAudioFormat audio;
    audio.setSampleRate(static_cast<int>(format.rate));
    audio.setChannelCount(format.channels);
    audio.setSampleFormat(*sampleFormat);
    data.truncate(data.size() / audio.bytesPerFrame() * audio.bytesPerFrame());
    return {std::make_unique<TMemoryPcm>(audio, std::move(data)), QString()};
}

} // namespace karvel
