// Renders what a movie plays over a number of frames, offline and the same every run:
// frame k sounds from sample floor((k - 1) * 44100 / rate), and the mouse events of
// batch k are applied after frame k (the test corpus's input scripts).
#pragma once

#include "controls/swf/sound/sound.h"

#include <QByteArray>
#include <QPointF>

namespace velmora::swf {

class Player;

struct InputEvent {
    enum class Kind { Move, Press, Release };
    Kind kind = Kind::Move;
    QPointF position; // stage pixels
};
using InputBatches = std::vector<std::vector<InputEvent>>;

// A JSON array of {"type": "MouseMove"|"MouseDown"|"MouseUp", "pos": [x, y]} and
// {"type": "Wait"}, each Wait closing a batch.
InputBatches parseInputScript(const QByteArray &json);
// Moves, presses and releases the mouse over the stage as the batch says.
void applyInput(Player &player, const std::vector<InputEvent> &events);

// 44.1 kHz stereo; at most an hour.
PcmBuffer renderAudio(Player &player, int frames, const InputBatches &input = {});

} // namespace velmora::swf
