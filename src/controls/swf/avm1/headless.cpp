#include "controls/swf/avm1/headless.h"

#include "controls/swf/player.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmora::swf::avm1 {

namespace {

// Named keys of an events file, as Flash key codes.
int namedKeyCode(const QString &name)
{
    static const std::pair<const char *, int> kKeys[] = {
        {"Backspace", 8}, {"Tab", 9},          {"Enter", 13},        {"LeftShift", 16}, {"RightShift", 16},
        {"Shift", 16},    {"LeftControl", 17}, {"RightControl", 17}, {"Control", 17},   {"LeftAlt", 18},
        {"RightAlt", 18}, {"Alt", 18},         {"CapsLock", 20},     {"Escape", 27},    {"Space", 32},
        {"PageUp", 33},   {"PageDown", 34},    {"End", 35},          {"Home", 36},      {"ArrowLeft", 37},
        {"ArrowUp", 38},  {"ArrowRight", 39},  {"ArrowDown", 40},    {"Insert", 45},    {"Delete", 46},
    };
    for (const auto &[n, code] : kKeys) {
        if (name == QLatin1String(n))
            return code;
    }
    return 0;
}

void readKey(const QJsonValue &key, InputEvent &e)
{
    if (key.isString()) {
        e.keyCode = namedKeyCode(key.toString());
        if (e.keyCode == 32 || e.keyCode == 13 || e.keyCode == 9 || e.keyCode == 8 || e.keyCode == 27)
            e.character = e.keyCode;
        return;
    }
    const QString c = key.toObject().value(QLatin1String("Char")).toString();
    if (c.isEmpty())
        return;
    e.character = c.at(0).unicode();
    e.keyCode = c.at(0).toUpper().unicode();
}

} // namespace

Result<std::vector<InputEvent>> parseInputEvents(const std::string &json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return Error(1, "input events: not a JSON array");
    std::vector<InputEvent> events;
    for (const QJsonValue v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString type = o.value(QLatin1String("type")).toString();
        InputEvent e;
        const QJsonArray pos = o.value(QLatin1String("pos")).toArray();
        if (pos.size() == 2) {
            e.x = pos[0].toDouble();
            e.y = pos[1].toDouble();
        }
        if (type == QLatin1String("MouseMove")) {
            e.kind = InputEvent::Kind::MouseMove;
        } else if (type == QLatin1String("MouseDown")) {
            e.kind = InputEvent::Kind::MouseDown;
        } else if (type == QLatin1String("MouseUp")) {
            e.kind = InputEvent::Kind::MouseUp;
        } else if (type == QLatin1String("KeyDown") || type == QLatin1String("KeyUp")) {
            e.kind = type == QLatin1String("KeyDown") ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
            readKey(o.value(QLatin1String("key")), e);
        } else if (type == QLatin1String("Wait")) {
            e.kind = InputEvent::Kind::Wait;
        } else {
            continue; // text input and others carry nothing a button reacts to here
        }
        events.push_back(e);
    }
    return events;
}

std::string runHeadless(std::shared_ptr<const Movie> movie, int frames, const std::vector<InputEvent> &events)
{
    std::string text;
    ScriptHost host;
    host.trace = [&text](const std::string &line) {
        for (char c : line) {
            if (c == '\r')
                text += '\n';
            else if (c != '\0')
                text += c;
        }
        text += '\n';
    };
    Player player(std::move(movie), host);
    const QRectF stage(QPointF(0, 0), player.stageSize());
    std::size_t next = 0;
    for (int frame = 1; frame <= frames; ++frame) {
        if (frame > 1)
            player.stepFrame();
        if (player.quitRequested())
            break;
        for (; next < events.size(); ++next) {
            const InputEvent &e = events[next];
            const QPointF at(e.x, e.y);
            if (e.kind == InputEvent::Kind::Wait) {
                ++next;
                break;
            }
            switch (e.kind) {
            case InputEvent::Kind::MouseMove:
                player.mouseMove(at, stage);
                break;
            case InputEvent::Kind::MouseDown:
                player.mousePress(at, stage);
                break;
            case InputEvent::Kind::MouseUp:
                player.mouseRelease(at, stage);
                break;
            case InputEvent::Kind::KeyDown:
                player.keyDown({e.keyCode, e.character});
                break;
            case InputEvent::Kind::KeyUp:
                player.keyUp({e.keyCode, e.character});
                break;
            case InputEvent::Kind::Wait:
                break;
            }
        }
    }
    return text;
}

} // namespace velmora::swf::avm1
