// The alarm player on the machine's real audio output: a short file repeats until it is
// stopped, the beep sounds. Without an audio output these tests say so and are skipped.
#include "alarm_sound.h"
#include "sound_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "wait.h"

namespace karvel {
namespace {

using test::RunFor;
using test::WaitUntil;

class AlarmSound : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
    TAlarmSound sound;
};

class AlarmSoundRepeats : public AlarmSound, public ::testing::WithParamInterface<const char*> { };

TEST_P(AlarmSoundRepeats, UntilStopped)
{
    if (!TAlarmSound::HasAudioOutput())
        GTEST_SKIP()
            << "no audio output on this machine: the repetition cannot be heard or tested here";
    const bool midi = QByteArray(GetParam()) == "mid";
    const QString file =
        midi ? Write("alarm.mid", test::MidiTune(200)) : Write("alarm.wav", test::ToneWav(200));
    ASSERT_EQ(sound.Open(file), std::nullopt);
    int ended = 0;
    QObject::connect(&sound, &TAlarmSound::PlayEnded, [&] { ++ended; });
    ASSERT_EQ(sound.Play(), std::nullopt);
    EXPECT_TRUE(sound.IsPlaying());
    ASSERT_TRUE(WaitUntil([&] { return sound.CompletedPlays() >= 4; }, 20000))
        << sound.CompletedPlays();
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_EQ(ended, sound.CompletedPlays());
    ASSERT_EQ(sound.Stop(), std::nullopt);
    EXPECT_FALSE(sound.IsPlaying());
    const int atStop = sound.CompletedPlays();
    RunFor(1000);
    EXPECT_EQ(sound.CompletedPlays(), atStop) << "nothing plays after the stop";
    // The next alarm starts it again.
    ASSERT_EQ(sound.Play(), std::nullopt);
    ASSERT_TRUE(WaitUntil([&] { return sound.CompletedPlays() > atStop; }, 20000));
    sound.Stop();
}

INSTANTIATE_TEST_SUITE_P(Files, AlarmSoundRepeats, ::testing::Values("wav", "mid"));

TEST_F(AlarmSound, BeepGoesToTheAudioOutput)
{
    if (!TAlarmSound::HasAudioOutput())
        GTEST_SKIP() << "no audio output on this machine: the beep falls back to the terminal bell";
    EXPECT_TRUE(sound.BeepThroughAudio());
    RunFor(300);
}

} // namespace
} // namespace karvel
