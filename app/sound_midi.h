#pragma once
// MIDI and RMI files rendered by FluidSynth with the General MIDI soundfont into PCM, as
// the audio output pulls it. Nothing of FluidSynth is played through its own drivers.

#include "sound_pcm.h"

#include <QString>

#include <memory>

namespace karvel {

// True when `bytes` is a standard MIDI file or a RIFF RMID file.
bool LooksLikeMidi(const QByteArray& bytes);
// The standard MIDI file inside `bytes`: the file itself, or the "data" chunk of an RMI
// file; empty when there is none.
QByteArray StandardMidiBytes(const QByteArray& bytes);

// The soundfont used for MIDI: the system's General MIDI soundfont.
QString GeneralMidiSoundfont();

class TMidiSource : public TPcmSource {
public:
    static constexpr int kSampleRate = 44100;

    ~TMidiSource() override;
    // The error text when the file cannot be rendered.
    struct TResult {
        std::unique_ptr<TMidiSource> source;
        QString error;
    };
    static TResult Open(const QByteArray& fileBytes,
                        const QString& soundfont = GeneralMidiSoundfont());

    QAudioFormat Format() const override;
    qint64 Read(char* data, qint64 maxBytes) override;
    void Rewind() override;

private:
    struct TSynth;
    explicit TMidiSource(std::unique_ptr<TSynth> synth);
    void WarmUp();
    std::unique_ptr<TSynth> synth_;
};

} // namespace karvel
