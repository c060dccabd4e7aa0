#include "controls/swf/sound/offlineaudio.h"

#include "controls/swf/player.h"
#include "controls/swf/sound/moviesound.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace velmora::swf {

namespace {

constexpr std::size_t kMaxRenderedFrames = std::size_t{3600} * kMixRate;
// A movie without a usable frame rate is rendered at the rate players fall back to.
constexpr double kFallbackFrameRate = 12;

} // namespace

InputBatches parseInputScript(const QByteArray &json)
{
    InputBatches batches(1);
    for (const QJsonValue value : QJsonDocument::fromJson(json).array()) {
        const QJsonObject event = value.toObject();
        const QString type = event.value("type").toString();
        const QJsonArray pos = event.value("pos").toArray();
        if (type == "Wait") {
            batches.emplace_back();
            continue;
        }
        InputEvent e;
        e.position = QPointF(pos.at(0).toDouble(), pos.at(1).toDouble());
        if (type == "MouseDown")
            e.kind = InputEvent::Kind::Press;
        else if (type == "MouseUp")
            e.kind = InputEvent::Kind::Release;
        else if (type != "MouseMove")
            continue;
        batches.back().push_back(e);
    }
    return batches;
}

void applyInput(Player &player, const std::vector<InputEvent> &events)
{
    const QRectF stage(QPointF(0, 0), player.stageSize());
    for (const InputEvent &e : events) {
        player.mouseMove(e.position, stage);
        if (e.kind == InputEvent::Kind::Press)
            player.mousePress();
        else if (e.kind == InputEvent::Kind::Release)
            player.mouseRelease();
    }
}

PcmBuffer renderAudio(Player &player, int frames, const InputBatches &input)
{
    const double rate = player.frameRate() > 0 ? player.frameRate() : kFallbackFrameRate;
    PcmBuffer out;
    out.channels = 2;
    for (int frame = 1; frame <= frames; ++frame) {
        const auto end = static_cast<std::size_t>(std::floor(frame * kMixRate / rate));
        if (end > kMaxRenderedFrames)
            break;
        const std::size_t offset = out.samples.size();
        out.samples.resize(end * 2);
        player.sound().render(std::span(out.samples).subspan(offset));
        if (static_cast<std::size_t>(frame) <= input.size())
            applyInput(player, input[static_cast<std::size_t>(frame - 1)]);
        if (frame < frames)
            player.stepFrame();
    }
    return out;
}

} // namespace velmora::swf
