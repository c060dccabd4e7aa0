#include "controls/swf/inputevents.h"

#include "controls/swf/movieerror.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fstream>
#include <iterator>

namespace velmora::swf {

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

KeyInput readKey(const QJsonValue &key)
{
    KeyInput k;
    if (key.isString()) {
        k.code = namedKeyCode(key.toString());
        // The named keys that type a character type their own code.
        if (k.code == 32 || k.code == 13 || k.code == 9 || k.code == 8 || k.code == 27)
            k.character = k.code;
        return k;
    }
    const QString c = key.toObject().value(QLatin1String("Char")).toString();
    if (!c.isEmpty()) {
        k.character = c.at(0).unicode();
        k.code = c.at(0).toUpper().unicode();
    }
    return k;
}

} // namespace

Result<InputBatches> parseInputEvents(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return movieError(MovieError::InputEventsNotArray);
    InputBatches batches(1);
    for (const QJsonValue v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString type = o.value(QLatin1String("type")).toString();
        if (type == QLatin1String("Wait")) {
            batches.emplace_back();
            continue;
        }
        InputEvent e;
        const QJsonArray pos = o.value(QLatin1String("pos")).toArray();
        if (pos.size() == 2)
            e.position = QPointF(pos[0].toDouble(), pos[1].toDouble());
        if (type == QLatin1String("MouseMove")) {
            e.kind = InputEvent::Kind::MouseMove;
        } else if (type == QLatin1String("MouseDown")) {
            e.kind = InputEvent::Kind::MouseDown;
        } else if (type == QLatin1String("MouseUp")) {
            e.kind = InputEvent::Kind::MouseUp;
        } else if (type == QLatin1String("KeyDown") || type == QLatin1String("KeyUp")) {
            e.kind = type == QLatin1String("KeyDown") ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
            e.key = readKey(o.value(QLatin1String("key")));
        } else {
            continue;
        }
        batches.back().push_back(e);
    }
    return batches;
}

Result<InputBatches> loadInputEventsFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return movieError(MovieError::InputEventsCannotOpen, path.string());
    const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parseInputEvents(QByteArray::fromStdString(json));
}

void applyInput(Player &player, const std::vector<InputEvent> &batch)
{
    const QRectF stage(QPointF(0, 0), player.stageSize());
    for (const InputEvent &e : batch) {
        switch (e.kind) {
        case InputEvent::Kind::MouseMove:
            player.mouseMove(e.position, stage);
            break;
        case InputEvent::Kind::MouseDown:
            player.mousePress(e.position, stage);
            break;
        case InputEvent::Kind::MouseUp:
            player.mouseRelease(e.position, stage);
            break;
        case InputEvent::Kind::KeyDown:
            player.keyDown(e.key);
            break;
        case InputEvent::Kind::KeyUp:
            player.keyUp(e.key);
            break;
        }
    }
}

} // namespace velmora::swf
