#pragma once
// The device the audio output pulls a sound from. At the end of the sound it reports the
// normal end and, while repetition is on, starts the sound again from its beginning in
// the same read, so that the repetition has no gap.

#include "sound_pcm.h"

#include <QIODevice>

#include <functional>

namespace karvel {

class TPcmStream : public QIODevice {
    Q_OBJECT
public:
    explicit TPcmStream(TPcmSource& source, QObject* parent = nullptr);

    // Rewinds the source and opens the stream for reading.
    void Start(bool repeat);
    void SetRepeat(bool repeat) { repeat_ = repeat; }
    int CompletedPlays() const { return completed_; }
    bool Ended() const { return ended_; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

signals:
    // The sound played to its end (once per play, repeated or not).
    void PlayEnded();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    TPcmSource& source_;
    bool repeat_ = false;
    bool ended_ = false;
    int completed_ = 0;
};

} // namespace karvel
