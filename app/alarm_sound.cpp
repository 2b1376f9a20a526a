#include "alarm_sound.h"

#include "sound_beep.h"
#include "sound_midi.h"
#include "sound_stream.h"
#include "sound_wav.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>

#include <cstdio>

namespace karvel {

namespace {

// The bell of the controlling terminal, else of whatever the standard error is.
void TerminalBell()
{
    if (FILE* tty = std::fopen("/dev/tty", "w")) {
        std::fputc('\a', tty);
        std::fclose(tty);
        return;
    }
    std::fputc('\a', stderr);
    std::fflush(stderr);
}

QString SinkErrorText(QAudio::Error error)
{
    switch (error) {
    case QAudio::OpenError:
        return QStringLiteral("Устройство вывода звука не открывается");
    case QAudio::IOError:
        return QStringLiteral("Ошибка вывода звука");
    case QAudio::FatalError:
        return QStringLiteral("Устройство вывода звука недоступно");
    default:
        return QString();
    }
}

} // namespace

TAlarmSound::TAlarmSound(QObject* parent) : QObject(parent) { }

TAlarmSound::~TAlarmSound()
{
    StopSink();
    if (beepSink_)
        beepSink_->stop();
}

const QString& TAlarmSound::NoAudioOutputText()
{
    static const QString text = QStringLiteral("Нет устройства вывода звука");
    return text;
}

bool TAlarmSound::HasAudioOutput()
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

std::optional<QString> TAlarmSound::Open(const QString& file)
{
    Close();
    if (file.isEmpty())
        return QStringLiteral("Не задан звуковой файл");
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return QStringLiteral("Звуковой файл \"%1\" не открывается: %2")
            .arg(file, input.errorString());
    const QByteArray bytes = input.readAll();
    std::unique_ptr<TPcmSource> source;
    QString error;
    if (LooksLikeWav(bytes)) {
        TWavResult wav = ParseWav(bytes);
        source = std::move(wav.pcm);
        error = wav.error;
    } else if (LooksLikeMidi(bytes)) {
        TMidiSource::TResult midi = TMidiSource::Open(bytes);
        source = std::move(midi.source);
        error = midi.error;
    } else {
        error = QStringLiteral("Неизвестный формат звукового файла");
    }
    if (!source)
        return QStringLiteral("%1: \"%2\"").arg(error, file);
    fileName_ = file;
    source_ = std::move(source);
    stream_ = std::make_unique<TPcmStream>(*source_);
    connect(stream_.get(), &TPcmStream::PlayEnded, this, &TAlarmSound::PlayEnded);
    return std::nullopt;
}

void TAlarmSound::Close()
{
    StopSink();
    stream_.reset();
    source_.reset();
    fileName_.clear();
}

std::optional<QString> TAlarmSound::Play()
{
    if (!source_)
        return kNoDeviceOpen;
    StopSink();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return NoAudioOutputText();
    const QAudioFormat format = source_->Format();
    if (!device.isFormatSupported(format))
        return QStringLiteral("Устройство вывода звука не воспроизводит формат файла \"%1\"")
            .arg(fileName_);
    sink_ = std::make_unique<QAudioSink>(device, format);
    connect(sink_.get(), &QAudioSink::stateChanged, this, &TAlarmSound::SinkStateChanged);
    stream_->Start(true);
    playing_ = true;
    sink_->start(stream_.get());
    if (sink_->error() != QAudio::NoError) {
        const QString text = SinkErrorText(sink_->error());
        StopSink();
        return text;
    }
    return std::nullopt;
}

std::optional<QString> TAlarmSound::Stop()
{
    if (!source_)
        return kNoDeviceOpen;
    StopSink();
    return std::nullopt;
}

void TAlarmSound::StopSink()
{
    playing_ = false;
    if (stream_)
        stream_->SetRepeat(false);
    if (sink_) {
        sink_->disconnect(this);
        sink_->stop();
        sink_.reset();
    }
    if (stream_)
        stream_->close();
}

bool TAlarmSound::IsPlaying() const
{
    return playing_;
}

int TAlarmSound::CompletedPlays() const
{
    return stream_ ? stream_->CompletedPlays() : 0;
}

void TAlarmSound::SinkStateChanged()
{
    if (!sink_)
        return;
    const QAudio::Error error = sink_->error();
    if (sink_->state() == QAudio::IdleState && stream_->Ended()) {
        // A sound without a single frame: it has ended and does not repeat.
        StopSink();
        return;
    }
    if (sink_->state() == QAudio::StoppedState && error != QAudio::NoError &&
        error != QAudio::UnderrunError) {
        StopSink();
        emit PlayFailed(SinkErrorText(error));
    }
}

void TAlarmSound::Beep()
{
    ++beeps_;
    if (!BeepThroughAudio())
        TerminalBell();
}

bool TAlarmSound::BeepThroughAudio()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    QAudioFormat format;
    format.setSampleRate(44100);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        format = device.preferredFormat();
    if (beepSink_)
        beepSink_->stop();
    beepData_ = std::make_unique<QBuffer>();
    beepData_->setData(SineTone(format, kBeepHz, kBeepMs));
    beepData_->open(QIODevice::ReadOnly);
    beepSink_ = std::make_unique<QAudioSink>(device, format);
    beepSink_->start(beepData_.get());
    return beepSink_->error() == QAudio::NoError;
}

} // namespace karvel
