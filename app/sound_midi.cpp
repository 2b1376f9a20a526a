#include "sound_midi.h"

#include <QFile>
#include <QtEndian>

#include <fluidsynth.h>

#include <mutex>
#include <vector>

namespace karvel {

namespace {

constexpr int kChannels = 2;

// FluidSynth writes its messages to the standard error; errors are kept for the player's
// own error text instead, the chatter is dropped.
thread_local QString lastFluidError;

void KeepError(int, const char* message, void*)
{
    lastFluidError = QString::fromUtf8(message);
}
void Drop(int, const char*, void*) { }

void QuietFluidSynth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, KeepError, nullptr);
        fluid_set_log_function(FLUID_ERR, KeepError, nullptr);
        fluid_set_log_function(FLUID_WARN, Drop, nullptr);
        fluid_set_log_function(FLUID_INFO, Drop, nullptr);
        fluid_set_log_function(FLUID_DBG, Drop, nullptr);
    });
}

} // namespace

bool LooksLikeMidi(const QByteArray& bytes)
{
    return !StandardMidiBytes(bytes).isEmpty();
}

QByteArray StandardMidiBytes(const QByteArray& bytes)
{
    if (bytes.startsWith("MThd"))
        return bytes;
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "RMID")
        return {};
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const qsizetype size = qFromLittleEndian<uint32_t>(bytes.constData() + at + 4);
        if (bytes.mid(at, 4) == "data") {
            const QByteArray smf = bytes.mid(at + 8, size);
            return smf.startsWith("MThd") ? smf : QByteArray();
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

QString GeneralMidiSoundfont()
{
    for (const char* path :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
        if (QFile::exists(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    }
    return {};
}

struct TMidiSource::TSynth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    QByteArray smf;

    ~TSynth()
    {
        if (player)
            delete_fluid_player(player);
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }
    bool StartPlayer()
    {
        if (player)
            delete_fluid_player(player);
        fluid_synth_system_reset(synth);
        player = new_fluid_player(synth);
        return player &&
            fluid_player_add_mem(player, smf.constData(), static_cast<size_t>(smf.size())) ==
            FLUID_OK &&
            fluid_player_play(player) == FLUID_OK;
    }
};

TMidiSource::TMidiSource(std::unique_ptr<TSynth> synth) : synth_(std::move(synth)) { }
TMidiSource::~TMidiSource() = default;

TMidiSource::TResult TMidiSource::Open(const QByteArray& fileBytes, const QString& soundfont)
{
    QuietFluidSynth();
    auto synth = std::make_unique<TSynth>();
    synth->smf = StandardMidiBytes(fileBytes);
    if (synth->smf.isEmpty())
        return {nullptr, QStringLiteral("Файл не является файлом MIDI")};
    if (soundfont.isEmpty() || !QFile::exists(soundfont))
        return {nullptr, QStringLiteral("Не найден набор инструментов MIDI (soundfont)")};
    synth->settings = new_fluid_settings();
    // The player follows the rendered samples, not the wall clock: the output pulls the
    // sound at its own pace.
    fluid_settings_setstr(synth->settings, "player.timing-source", "sample");
    fluid_settings_setnum(synth->settings, "synth.sample-rate", kSampleRate);
    fluid_settings_setint(synth->settings, "synth.lock-memory", 0);
    fluid_settings_setint(synth->settings, "synth.dynamic-sample-loading", 1);
    synth->synth = new_fluid_synth(synth->settings);
    if (!synth->synth)
        return {nullptr, QStringLiteral("Синтезатор MIDI не запускается: %1").arg(lastFluidError)};
    if (fluid_synth_sfload(synth->synth, soundfont.toLocal8Bit().constData(), 1) == FLUID_FAILED)
        return {nullptr,
                QStringLiteral("Набор инструментов MIDI не читается: %1").arg(lastFluidError)};
    if (!synth->StartPlayer())
        return {nullptr, QStringLiteral("Файл MIDI повреждён: %1").arg(lastFluidError)};
    std::unique_ptr<TMidiSource> source(new TMidiSource(std::move(synth)));
    source->WarmUp();
    return {std::move(source), QString()};
}

QAudioFormat TMidiSource::Format() const
{
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(kChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

qint64 TMidiSource::Read(char* data, qint64 maxBytes)
{
    if (!synth_->player || fluid_player_get_status(synth_->player) == FLUID_PLAYER_DONE)
        return 0;
    // The file ends with its last event; the player itself would go on for seconds of
    // silence before it reports the end, which would stretch every repetition.
    const int total = fluid_player_get_total_ticks(synth_->player);
    if (total > 0 && fluid_player_get_current_tick(synth_->player) >= total)
        return 0;
    const int frames = static_cast<int>(maxBytes / (kChannels * 2));
    if (frames <= 0)
        return 0;
    auto* samples = reinterpret_cast<int16_t*>(data);
    if (fluid_synth_write_s16(synth_->synth, frames, samples, 0, kChannels, samples, 1,
                              kChannels) != FLUID_OK)
        return 0;
    return static_cast<qint64>(frames) * kChannels * 2;
}

void TMidiSource::Rewind()
{
    synth_->StartPlayer();
}

void TMidiSource::WarmUp()
{
    // The soundfont's samples load when a note first needs them, which would hold back
    // the first alarm by a second or more; the beginning of the file is rendered once here
    // so that they are in memory when it sounds.
    std::vector<char> scratch(static_cast<size_t>(kSampleRate / 10) * kChannels * 2);
    for (int i = 0; i < 10 && Read(scratch.data(), static_cast<qint64>(scratch.size())) > 0; ++i) {
    }
    Rewind();
}

} // namespace karvel
