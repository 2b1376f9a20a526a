// The main window's toolbar and alarm sound, with no line and no accounting server: the
// silence button in its place from the start, its answer when no sound file is open, and
// an alarm sound that fails in the middle.
#include "alarm_sound.h"
#include "answer_message_boxes.h"
#include "main_window.h"

#include "../sound/sound_files.h"
#include "cp1251.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace karvel {
namespace {

struct SoundOptions {
    bool soundStop; // alarm on
    bool soundMode; // beeper instead of the sound file
    bool withFile; // a playable sound file is configured
};

// A store without terminals or accounting server, with the alarm options given.
QString StoreText(const SoundOptions& sound, const QString& soundFile)
{
    const QString root = "[HKEY_CURRENT_USER\\Software\\Vistam\\Karvel_net\\";
    QStringList out {"Windows Registry Editor Version 5.00",
                     "",
                     root + "Control]",
                     "\"Name\"=\"\"",
                     "\"Password\"=\"\"",
                     ""};
    for (int n = 1; n <= 4; ++n) {
        out << root + QString("Line%1]").arg(n) << "\"TerminalType\"=dword:00000000";
        for (int i = 1; i <= 30; ++i)
            out << QString("\"NetNum%1\"=dword:00000000").arg(i)
                << QString("\"NameP%1\"=\"Продукт %1\"").arg(i);
        out << "";
    }
    out << root + "PortParam]";
    for (int n = 1; n <= 4; ++n)
        out << QString("\"PortL%1\"=dword:%2").arg(n).arg(n - 1, 8, 10, QChar('0'))
            << QString("\"SpeedL%1\"=dword:00000001").arg(n);
    out << QString("\"SoundStop\"=dword:%1").arg(sound.soundStop ? "00000001" : "00000000")
        << "\"LogWr\"=dword:00000001"
        << QString("\"SoundMode\"=dword:%1").arg(sound.soundMode ? "00000001" : "00000000")
        << QString("\"SoundFileName\"=\"%1\"").arg(sound.withFile ? soundFile : QString()) << "";
    return out.join("\r\n");
}

class MainWindow : public ::testing::Test {
protected:
    void Start(const SoundOptions& sound)
    {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QDir().mkpath(home.path() + "/Vistam");
        QDir().mkpath(home.path() + "/prog");
        const QString wav = home.path() + "/alarm.wav";
        QFile wavFile(wav);
        ASSERT_TRUE(wavFile.open(QIODevice::WriteOnly));
        wavFile.write(test::ToneWav(300));
        wavFile.close();
        QFile store(home.path() + "/Vistam/Karvel_net.reg");
        ASSERT_TRUE(store.open(QIODevice::WriteOnly));
        store.write(StoreText(sound, wav).toUtf8());
        store.close();
        test::AnswerMessageBoxes(boxCloser, messages, 20);
        TCoreOptions options;
        options.programDir = home.path() + "/prog";
        options.storePath = home.path() + "/Vistam/Karvel_net.reg";
        window = std::make_unique<TForm1>(options);
        window->show();
        window->CreateWindows();
        messages.removeAll(TMainCore::kNotConfigured); // no accounting server configured
    }
    void TearDown() override { window.reset(); }

    QStringList LogLines() const
    {
        QFile log(home.path() + "/prog/log.txt");
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return FromCp1251(log.readAll()).split("\r\n", Qt::SkipEmptyParts);
    }

    QTemporaryDir home;
    QTimer boxCloser;
    QStringList messages;
    std::unique_ptr<TForm1> window;
};

TEST_F(MainWindow, TheSilenceButtonHasItsPlaceInTheRowFromTheStart)
{
    Start({true, false, true});
    const QStringList row {"L1Btn",        "L2Btn",   "L3Btn",      "L4Btn", "EditLineBtn",
                           "ComPortEdBtn", "BitBtn1", "NoSoundBtn", "LogBtn"};
    int previousX = -1;
    for (const QString& name : row) {
        QToolButton* button = window->Button(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        EXPECT_TRUE(button->isVisible()) << name.toStdString();
        const int x = button->mapTo(window.get(), QPoint(0, 0)).x();
        EXPECT_GT(x, previousX) << name.toStdString() << " out of its place in the row";
        previousX = x;
    }
    EXPECT_EQ(window->Button("NoSoundBtn")->size(), QSize(58, 47));
}

struct SilenceCase {
    SoundOptions sound;
    QStringList messages;
};

class SilenceButton : public MainWindow, public ::testing::WithParamInterface<SilenceCase> { };

TEST_P(SilenceButton, AnswersAsThePlayerDoes)
{
    Start(GetParam().sound);
    ASSERT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    window->Button("NoSoundBtn")->click(); // a message box is modal: answered by now
    EXPECT_EQ(messages, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SilenceButton,
    ::testing::Values(SilenceCase {{true, true, false}, {TAlarmSound::kNoDeviceOpen}}, // beeper
                      SilenceCase {{false, false, true}, {TAlarmSound::kNoDeviceOpen}}, // off
                      SilenceCase {{false, true, false}, {TAlarmSound::kNoDeviceOpen}}, // off
                      SilenceCase {{true, false, true}, {}})); // file open, nothing plays

TEST_F(MainWindow, AnAlarmSoundThatFailsIsShownLoggedAndBeeped)
{
    Start({true, false, true});
    ASSERT_TRUE(window->Sound().IsOpen());
    const int logLinesBefore = static_cast<int>(LogLines().size());
    EXPECT_FALSE(window->statusBar()->isVisible());

    // What the player reports when the audio output gives out while the alarm plays.
    emit window->Sound().PlayFailed(QStringLiteral("Ошибка вывода звука"));

    EXPECT_EQ(window->Sound().Beeps(), 1); // this alarm goes on as a beep
    EXPECT_TRUE(window->AlarmStatus().contains("Ошибка вывода звука"))
        << window->AlarmStatus().toStdString();
    EXPECT_TRUE(window->statusBar()->isVisible());
    const QStringList log = LogLines();
    ASSERT_EQ(log.size(), logLinesBefore + 1);
    EXPECT_TRUE(log.back().endsWith("  -  Сбой звука тревоги: Ошибка вывода звука"))
        << log.back().toStdString();
    EXPECT_TRUE(messages.isEmpty()) << "no message box stops the operator";

    // The silence button acknowledges it.
    window->Button("NoSoundBtn")->click();
    EXPECT_TRUE(window->AlarmStatus().isEmpty());
    EXPECT_FALSE(window->statusBar()->isVisible());
}

} // namespace
} // namespace karvel
