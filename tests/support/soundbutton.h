// A button movie that chimes: one tone as the pointer comes over it, another as it is
// pressed, for the tests and benchmarks that listen to what the reader plays.
#pragma once

#include <QByteArray>
#include <QSize>

#include <cmath>
#include <numbers>

namespace velmora::testing {

struct Tone {
    double hertz;
    double seconds;
    int amplitude;
    // The level of the tone's steady part, in dB below full scale.
    double rmsDb() const { return 20 * std::log10(amplitude / std::numbers::sqrt2 / 32768.0); }
};
inline constexpr Tone kRollOver{440, 0.2, 6000}; // about -17.8 dBFS
inline constexpr Tone kPress{880, 0.2, 16000};   // about -9.2 dBFS

// A button filling a stage of `sizePx` that plays `kRollOver` as the pointer comes over
// it and `kPress` as it is pressed (16-bit mono PCM at 44.1 kHz).
QByteArray soundButtonMovie(QSize sizePx);

} // namespace velmora::testing
