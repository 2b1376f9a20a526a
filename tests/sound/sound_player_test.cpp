// The alarm player's answers that need no sound to be heard: files that cannot be opened,
// playing and stopping without a file, playing without an audio output.
#include "alarm_sound.h"
#include "sound_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace karvel {
namespace {

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

TEST_F(AlarmSound, WithoutAnOpenFilePlayAndStopReportNoDeviceOpen)
{
    EXPECT_EQ(sound.Play(), TAlarmSound::kNoDeviceOpen);
    EXPECT_EQ(sound.Stop(), TAlarmSound::kNoDeviceOpen);
    EXPECT_FALSE(sound.IsPlaying());
}

TEST_F(AlarmSound, AFileThatCannotBeOpenedLeavesNoFileOpen)
{
    ASSERT_FALSE(sound.Open(Write("a.wav", test::ToneWav(50))).has_value());
    for (const QString& file :
         {QString(), dir.filePath("missing.wav"), Write("text.wav", "not a sound")}) {
        const std::optional<QString> error = sound.Open(file);
        ASSERT_TRUE(error.has_value()) << file.toStdString();
        EXPECT_FALSE(error->isEmpty());
        EXPECT_FALSE(sound.IsOpen());
        EXPECT_EQ(sound.Play(), TAlarmSound::kNoDeviceOpen);
    }
}

TEST_F(AlarmSound, WithoutAnAudioOutputPlayingSaysSo)
{
    if (TAlarmSound::HasAudioOutput())
        GTEST_SKIP() << "this machine has an audio output";
    ASSERT_FALSE(sound.Open(Write("a.wav", test::ToneWav(50))).has_value());
    EXPECT_EQ(sound.Play(), TAlarmSound::NoAudioOutputText());
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_FALSE(sound.BeepThroughAudio());
}

} // namespace
} // namespace karvel
