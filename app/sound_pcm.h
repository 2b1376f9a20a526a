#pragma once
// A sound as the audio output pulls it: PCM frames in one format, from the beginning to
// the end, and back to the beginning on request.

#include <QAudioFormat>
#include <QByteArray>

namespace karvel {

class TPcmSource {
public:
    virtual ~TPcmSource() = default;
    virtual QAudioFormat Format() const = 0;
    // Up to `maxBytes` bytes of whole frames; 0 once the sound has ended.
    virtual qint64 Read(char* data, qint64 maxBytes) = 0;
    virtual void Rewind() = 0;
};

// PCM held in memory (a WAV file, a tone).
class TMemoryPcm : public TPcmSource {
public:
    TMemoryPcm(QAudioFormat format, QByteArray data) : format_(format), data_(std::move(data)) { }
    QAudioFormat Format() const override { return format_; }
    qint64 Read(char* data, qint64 maxBytes) override;
    void Rewind() override { position_ = 0; }
    const QByteArray& Data() const { return data_; }

private:
    QAudioFormat format_;
    QByteArray data_;
    qint64 position_ = 0;
};

} // namespace karvel
