#pragma once
// The alarm sound player of the main window: one sound file (WAV, MIDI or RMI) opened at
// each configuration load, played from its beginning and again after every normal end
// until it is stopped; and the 1400 Hz beep. Both go to the default audio output; without
// one the beep falls back to the terminal bell and playing reports the missing output.

#include "sound_alarm.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QAudioSink;
class QBuffer;

namespace karvel {

class TPcmSource;
class TPcmStream;

class TAlarmSound : public QObject, public TAlarmPlayer {
    Q_OBJECT
public:
    static inline const QString kNoDeviceOpen = QStringLiteral("no device open");

    explicit TAlarmSound(QObject* parent = nullptr);
    ~TAlarmSound() override;

    // Gives the player `file` and opens it (the core's OpenSoundFile): the error text when
    // the file is missing or cannot be played. A failed open leaves no file open.
    std::optional<QString> Open(const QString& file);
    void Close();
    bool IsOpen() const { return source_ != nullptr; }
    const QString& FileName() const { return fileName_; }

    // Plays from the beginning, repeating after every normal end; "no device open" when
    // no file is open, the player's own text when there is no audio output.
    std::optional<QString> Play() override;
    // Ends the sound and its repetition; "no device open" when no file is open.
    std::optional<QString> Stop();
    bool IsPlaying() const override;
    // 1400 Hz for 150 ms; the terminal bell when there is no audio output. True when the
    // tone went to the audio output.
    void Beep() override;
    bool BeepThroughAudio();

    // Normal ends of the file since it was opened.
    int CompletedPlays() const;
    // Beeps asked for since the player was made.
    int Beeps() const { return beeps_; }
    // Whether the machine has an audio output at all.
    static bool HasAudioOutput();
    static const QString& NoAudioOutputText();

signals:
    // The file played to its end (it then starts again unless stopped).
    void PlayEnded();
    // The audio output failed while playing; the sound has stopped.
    void PlayFailed(const QString& text);

private:
    void SinkStateChanged();
    void StopSink();

    QString fileName_;
    std::unique_ptr<TPcmSource> source_;
    std::unique_ptr<TPcmStream> stream_;
    std::unique_ptr<QAudioSink> sink_;
    bool playing_ = false;
    int beeps_ = 0;
    std::unique_ptr<QBuffer> beepData_;
    std::unique_ptr<QAudioSink> beepSink_;
};

} // namespace karvel
