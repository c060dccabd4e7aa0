// The input a test harness gives a movie between frames: an events file is a JSON
// array of {"type": "MouseMove"|"MouseDown"|"MouseUp", "pos": [x, y]},
// {"type": "KeyDown"|"KeyUp", "key": "Enter" | {"Char": "a"}} and {"type": "Wait"};
// each Wait closes a batch, and batch k applies after frame k.
#pragma once

#include "common/result.h"
#include "controls/swf/player.h"

#include <QByteArray>
#include <QPointF>

#include <filesystem>
#include <vector>

namespace velmora::swf {

struct InputEvent {
    enum class Kind { MouseMove, MouseDown, MouseUp, KeyDown, KeyUp };
    Kind kind = Kind::MouseMove;
    QPointF position; // stage pixels
    KeyInput key;
};
using InputBatches = std::vector<std::vector<InputEvent>>;

// Events of other types (text input and the like) are skipped.
Result<InputBatches> parseInputEvents(const QByteArray &json);
Result<InputBatches> loadInputEventsFile(const std::filesystem::path &path);
// The batch's events, in order, on the whole stage.
void applyInput(Player &player, const std::vector<InputEvent> &batch);

} // namespace velmora::swf
