// Sound files to PCM, the repetition of a sound, the beep tone and the alarm decision,
// none of which needs an audio output.
#include "sound_alarm.h"
#include "sound_beep.h"
#include "sound_files.h"
#include "sound_midi.h"
#include "sound_stream.h"
#include "sound_wav.h"

#include <gtest/gtest.h>

#include <mutex>

namespace karvel {
namespace {

using namespace karvel::test;

TEST(Wav, SixteenBitMonoKeepsItsSamples)
{
    const TWavResult wav = ParseWav(ToneWav(100));
    ASSERT_TRUE(wav.pcm) << wav.error.toStdString();
    EXPECT_EQ(wav.pcm->Format().sampleRate(), 22050);
    EXPECT_EQ(wav.pcm->Format().channelCount(), 1);
    EXPECT_EQ(wav.pcm->Format().sampleFormat(), QAudioFormat::Int16);
    EXPECT_EQ(wav.pcm->Data().size(), 2205 * 2);
}

struct FormatCase {
    uint16_t tag;
    uint16_t bits;
    QAudioFormat::SampleFormat format;
    int bytesPerFrameOut;
};

class WavFormats : public ::testing::TestWithParam<FormatCase> { };

TEST_P(WavFormats, EachSampleWidthBecomesAnOutputFormat)
{
    const auto [tag, bits, format, bytesPerFrameOut] = GetParam();
    const QByteArray data(4 * 2 * bits / 8, '\x01'); // four stereo frames
    const TWavResult wav =
        ParseWav(Riff("WAVE", {{"fmt ", FmtChunk(tag, 2, 8000, bits)}, {"data", data}}));
    ASSERT_TRUE(wav.pcm) << wav.error.toStdString();
    EXPECT_EQ(wav.pcm->Format().sampleFormat(), format);
    EXPECT_EQ(wav.pcm->Data().size(), 4 * bytesPerFrameOut);
}

INSTANTIATE_TEST_SUITE_P(Widths, WavFormats,
                         ::testing::Values(FormatCase {1, 8, QAudioFormat::UInt8, 2},
                                           FormatCase {1, 16, QAudioFormat::Int16, 4},
                                           FormatCase {1, 24, QAudioFormat::Int32, 8},
                                           FormatCase {1, 32, QAudioFormat::Int32, 8},
                                           FormatCase {3, 32, QAudioFormat::Float, 8}));

TEST(Wav, TwentyFourBitSamplesAreWidenedInPlace)
{
    QByteArray data;
    PutLe(data, 0x123456, 3);
    const TWavResult wav =
        ParseWav(Riff("WAVE", {{"fmt ", FmtChunk(1, 1, 8000, 24)}, {"data", data}}));
    ASSERT_TRUE(wav.pcm);
    EXPECT_EQ(wav.pcm->Data(), QByteArray::fromHex("00563412"));
}

TEST(Wav, BrokenAndUnsupportedFilesAreRefusedWithAText)
{
    EXPECT_FALSE(ParseWav("RIFF\x04\0\0\0WAVE").pcm);
    EXPECT_FALSE(ParseWav(Riff("WAVE", {{"fmt ", FmtChunk(1, 1, 8000, 16)}})).pcm); // no data
    EXPECT_FALSE(
        ParseWav(Riff("WAVE", {{"fmt ", FmtChunk(2, 1, 8000, 4)}, {"data", "ab"}})).pcm); // ADPCM
    EXPECT_FALSE(ParseWav(Riff("WAVE", {{"fmt ", FmtChunk(1, 0, 8000, 16)}, {"data", "ab"}})).pcm);
    const TWavResult wav =
        ParseWav(Riff("WAVE", {{"fmt ", FmtChunk(1, 1, 8000, 12)}, {"data", "ab"}}));
    EXPECT_FALSE(wav.pcm);
    EXPECT_FALSE(wav.error.isEmpty());
}

TEST(Midi, RmiCarriesAStandardMidiFile)
{
    const QByteArray smf = MidiTune();
    EXPECT_EQ(StandardMidiBytes(smf), smf);
    EXPECT_EQ(StandardMidiBytes(RmiOf(smf)), smf);
    EXPECT_TRUE(StandardMidiBytes(Riff("RMID", {{"LIST", "xx"}})).isEmpty());
    EXPECT_TRUE(StandardMidiBytes(ToneWav(10)).isEmpty());
    EXPECT_FALSE(LooksLikeMidi(ToneWav(10)));
}

// Renders until the end; the samples and their peak.
qint64 RenderAll(TPcmSource& source, int& peak)
{
    std::vector<char> buffer(4096 * 4);
    qint64 total = 0;
    peak = 0;
    for (int guard = 0; guard < 10000; ++guard) {
        const qint64 n = source.Read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (n == 0)
            return total;
        for (qint64 i = 0; i + 1 < n; i += 2)
            peak = std::max(
                peak, std::abs(static_cast<int>(qFromLittleEndian<int16_t>(buffer.data() + i))));
        total += n;
    }
    return -1;
}

class MidiRender : public ::testing::TestWithParam<bool> { };

TEST_P(MidiRender, PlaysTheTuneToItsEndAndAgainAfterARewind)
{
    if (GeneralMidiSoundfont().isEmpty())
        GTEST_SKIP() << "no General MIDI soundfont installed (fluid-soundfont-gm)";
    const QByteArray file = GetParam() ? RmiOf(MidiTune(300)) : MidiTune(300);
    TMidiSource::TResult midi = TMidiSource::Open(file);
    ASSERT_TRUE(midi.source) << midi.error.toStdString();
    EXPECT_EQ(midi.source->Format().sampleRate(), 44100);
    int peak = 0;
    const qint64 first = RenderAll(*midi.source, peak);
    // 300 ms of stereo 16-bit sound, give or take one rendering block.
    EXPECT_GT(first, 44100 * 4 * 250 / 1000);
    EXPECT_LT(first, 44100 * 4 * 600 / 1000);
    EXPECT_GT(peak, 500) << "the note is heard";
    midi.source->Rewind();
    int peakAgain = 0;
    EXPECT_EQ(RenderAll(*midi.source, peakAgain), first);
    EXPECT_GT(peakAgain, 500);
}

INSTANTIATE_TEST_SUITE_P(MidAndRmi, MidiRender, ::testing::Bool());

TEST(Midi, NotMidiOrNoSoundfontIsAnError)
{
    EXPECT_FALSE(TMidiSource::Open("MThx").source);
    const TMidiSource::TResult midi = TMidiSource::Open(MidiTune(), "/nonexistent/sf.sf2");
    EXPECT_FALSE(midi.source);
    EXPECT_FALSE(midi.error.isEmpty());
}

TEST(PcmStream, RepeatsWithoutGapUntilRepetitionEnds)
{
    QAudioFormat format;
    format.setSampleRate(8000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    TMemoryPcm source(format, QByteArray("aabbcc", 6));
    TPcmStream stream(source);
    int ends = 0;
    QObject::connect(&stream, &TPcmStream::PlayEnded, [&] { ++ends; });
    stream.Start(true);
    EXPECT_EQ(stream.read(15), QByteArray("aabbccaabbccaa"));
    EXPECT_EQ(ends, 2);
    stream.SetRepeat(false);
    EXPECT_EQ(stream.read(100), QByteArray("bbcc"));
    EXPECT_EQ(stream.read(100), QByteArray());
    EXPECT_TRUE(stream.Ended());
    EXPECT_EQ(stream.CompletedPlays(), 3);
    stream.Start(true); // the next alarm starts it from the beginning
    EXPECT_EQ(stream.read(4), QByteArray("aabb"));
}

TEST(PcmStream, AnEmptySoundEndsInsteadOfSpinning)
{
    QAudioFormat format;
    format.setSampleRate(8000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    TMemoryPcm source(format, QByteArray());
    TPcmStream stream(source);
    stream.Start(true);
    EXPECT_EQ(stream.read(100), QByteArray());
    EXPECT_TRUE(stream.Ended());
    EXPECT_EQ(stream.CompletedPlays(), 1);
}

TEST(Beep, A1400HzToneOf150Ms)
{
    QAudioFormat format;
    format.setSampleRate(44100);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    const QByteArray tone = SineTone(format, kBeepHz, kBeepMs);
    ASSERT_EQ(tone.size(), 44100 * 150 / 1000 * 2);
    int crossings = 0;
    int16_t previous = 0;
    for (qsizetype i = 0; i < tone.size(); i += 2) {
        const int16_t s = qFromLittleEndian<int16_t>(tone.constData() + i);
        if ((previous < 0) != (s < 0))
            ++crossings;
        previous = s;
    }
    // Two crossings a period: 1400 Hz for 0.15 s gives 420.
    EXPECT_NEAR(crossings, 420, 4);
}

TEST(Beep, FloatStereoHasEqualChannels)
{
    QAudioFormat format;
    format.setSampleRate(48000);
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Float);
    const QByteArray tone = SineTone(format, kBeepHz, kBeepMs);
    ASSERT_EQ(tone.size(), 48000 * 150 / 1000 * 8);
    const auto* samples = reinterpret_cast<const float*>(tone.constData());
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(samples[2 * i], samples[2 * i + 1]);
}

// The player as the alarm sees it; records calls and whether the lock was held.
class RecordingPlayer : public TAlarmPlayer {
public:
    explicit RecordingPlayer(std::mutex& cs) : cs_(cs) { }
    bool IsPlaying() const override { return playing; }
    std::optional<QString> Play() override
    {
        ++plays;
        lockedDuringPlay = !cs_.try_lock();
        if (!lockedDuringPlay)
            cs_.unlock();
        if (error)
            return error;
        playing = true;
        return std::nullopt;
    }
    void Beep() override { ++beeps; }

    bool playing = false;
    int plays = 0;
    int beeps = 0;
    bool lockedDuringPlay = false;
    std::optional<QString> error;

private:
    std::mutex& cs_;
};

struct AlarmCase {
    bool soundStop;
    bool soundMode;
    bool alreadyPlaying;
    bool playFails;
    int beeps;
    int plays;
    bool buttonShown;
    bool error;
};

class StopAlarm : public ::testing::TestWithParam<AlarmCase> { };

TEST_P(StopAlarm, SoundsAsTheOptionsSay)
{
    const AlarmCase c = GetParam();
    std::mutex cs;
    RecordingPlayer player(cs);
    player.playing = c.alreadyPlaying;
    if (c.playFails)
        player.error = QStringLiteral("no device open");
    bool shown = false;
    const auto error =
        SoundStopAlarm(TAlarmOptions {c.soundStop, c.soundMode}, cs, player, [&] { shown = true; });
    EXPECT_EQ(player.beeps, c.beeps);
    EXPECT_EQ(player.plays, c.plays);
    EXPECT_EQ(shown, c.buttonShown);
    EXPECT_EQ(error.has_value(), c.error);
    if (c.plays > 0) {
        EXPECT_TRUE(player.lockedDuringPlay);
    }
    EXPECT_TRUE(cs.try_lock()) << "the lock is left";
    cs.unlock();
}

INSTANTIATE_TEST_SUITE_P(
    Options, StopAlarm,
    ::testing::Values(AlarmCase {false, true, false, false, 0, 0, false, false}, // alarm off
                      AlarmCase {false, false, false, false, 0, 0, false, false}, // alarm off
                      AlarmCase {true, true, false, false, 1, 0, false, false}, // beeper
                      AlarmCase {true, false, false, false, 0, 1, true, false}, // file starts
                      AlarmCase {true, false, true, false, 0, 0, false, false}, // already playing
                      AlarmCase {true, false, false, true, 0, 1, false, true})); // player error

} // namespace
} // namespace karvel
