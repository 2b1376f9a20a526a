#pragma once
// The stop alarm of a line, once its delay has passed: a beep in beeper mode, otherwise
// the looping sound file started under the main window's lock when it is not playing yet.

#include <QString>

#include <functional>
#include <mutex>
#include <optional>

namespace karvel {

// What the alarm needs of the sound player.
class TAlarmPlayer {
public:
    virtual ~TAlarmPlayer() = default;
    virtual bool IsPlaying() const = 0;
    // Starts the sound from its beginning, repeating it after every normal end; the
    // player's error text when it cannot.
    virtual std::optional<QString> Play() = 0;
    virtual void Beep() = 0;
};

struct TAlarmOptions {
    bool soundStop = false; // alarm on
    bool soundMode = false; // true: beeper, false: sound file
};

// Timer1Timer after the timer has been disarmed. `cs` is the main window's lock (anything
// with lock() and unlock()); `showNoSoundBtn` makes the silence button visible once the
// sound has started. Returns the player's error text for a message box.
template <typename Lock>
std::optional<QString> SoundStopAlarm(const TAlarmOptions& options, Lock& cs, TAlarmPlayer& player,
                                      const std::function<void()>& showNoSoundBtn)
{
    if (!options.soundStop)
        return std::nullopt;
    if (options.soundMode) {
        player.Beep();
        return std::nullopt;
    }
    std::lock_guard<Lock> guard(cs);
    if (player.IsPlaying())
        return std::nullopt;
    if (auto error = player.Play())
        return error;
    if (showNoSoundBtn)
        showNoSoundBtn();
    return std::nullopt;
}

} // namespace karvel
