#pragma once
// The alarm beep: a sine tone synthesized for the audio output.

#include <QAudioFormat>
#include <QByteArray>

namespace karvel {

constexpr int kBeepHz = 1400;
constexpr int kBeepMs = 150;

// `ms` of a sine of `hz` in `format` (integer or float samples, every channel the same),
// at half of full scale, with 5 ms fades so that it does not click.
QByteArray SineTone(const QAudioFormat& format, int hz, int ms);

} // namespace karvel
