// Input on the script stage: pointer moves, presses and releases become clip events,
// mouse listeners and button transitions; keys reach clip events, Key listeners and
// button key-press conditions.
#include "controls/swf/avm1/stage.h"

#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/builtins.h"

#include <algorithm>

namespace velmora::swf::avm1 {

namespace {

struct PointerEvent {
    std::uint16_t condition; // button condition
    std::uint32_t clipEvent;
    const char *method;
};

bool hasHandler(Runtime &rt, ClipObject *clip)
{
    for (const char *name :
         {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut", "onDragOver", "onDragOut"}) {
        const Value v = rt.get(clip, name);
        if (v.isObject() && v.asObject()->isFunction())
            return true;
    }
    if (clip->clipActions) {
        constexpr std::uint32_t kMouseEvents = ClipEvent::Press | ClipEvent::Release |
                                               ClipEvent::ReleaseOutside | ClipEvent::RollOver |
                                               ClipEvent::RollOut | ClipEvent::DragOver | ClipEvent::DragOut;
        for (const ClipActions &a : *clip->clipActions) {
            if (a.events & kMouseEvents)
                return true;
        }
    }
    return false;
}

// A key as DefineButton2 key-press conditions number it.
int keyPressCode(const KeyEvent &key)
{
    if (key.character >= 32)
        return key.character;
    static const std::pair<int, int> kSpecial[] = {{37, 1},  {39, 2},  {36, 3},  {35, 4},  {45, 5},
                                                   {46, 6},  {8, 8},   {13, 13}, {38, 14}, {40, 15},
                                                   {33, 16}, {34, 17}, {9, 18},  {27, 19}};
    for (const auto &[code, condition] : kSpecial) {
        if (key.code == code)
            return condition;
    }
    return 0;
}

} // namespace

void ScriptStage::listenerCall(const char *listeners, const char *method)
{
    Runtime &rt = *m_runtime;
    std::vector<Value> targets;
    rt.contained([&] {
        const Value owner = rt.get(rt.global(), listeners);
        if (!owner.isObject())
            return;
        const Value list = rt.get(owner.asObject(), "_listeners");
        if (list.isObject() && list.asObject()->kind() == Object::Kind::Array)
            targets = arrayElements(rt, list.asObject());
    });
    for (const Value &t : targets) {
        const bool ranToEnd = rt.contained([&] {
            std::vector<Value> none;
            rt.callMethod(t, method, none);
        });
        if (!ranToEnd && rt.aborted())
            return;
    }
}

// Clip events (and the mouse methods of SWF 6 clips) go to every clip, the most
// recently placed first.
void ScriptStage::dispatchMouseEvent(std::uint32_t event, const char *method)
{
    const std::vector<ClipObject *> clips = m_runtime->liveClips;
    for (auto it = clips.rbegin(); it != clips.rend(); ++it) {
        if (!(*it)->removed && (*it)->isMovieClip())
            queueClipEvent(*it, event, Runtime::Priority::Normal, method);
    }
    runQueue();
}

ClipObject *ScriptStage::interactiveAt(QPointF stage)
{
    ClipObject *best = nullptr;
    if (buttonAt) {
        if (Instance *button = buttonAt(stage))
            best = button->script;
    }
    if (best)
        return best;
    // Clips with mouse handlers act as buttons over the area they cover (hitTest
    // takes the point in the root's space).
    Matrix fromStage;
    if (!invert(clipWorldMatrix(*m_runtime, m_rootClip), fromStage))
        return nullptr;
    const double x = stage.x() * kTwipsPerPixel, y = stage.y() * kTwipsPerPixel;
    const Value rootX = (fromStage.a * x + fromStage.c * y + fromStage.tx) / kTwipsPerPixel;
    const Value rootY = (fromStage.b * x + fromStage.d * y + fromStage.ty) / kTwipsPerPixel;
    const std::vector<ClipObject *> clips = m_runtime->liveClips;
    for (auto it = clips.rbegin(); it != clips.rend(); ++it) {
        ClipObject *clip = *it;
        if (clip->removed || !clip->isMovieClip() || !clip->instance || !clip->instance->visible)
            continue;
        bool hit = false;
        m_runtime->contained([&] {
            if (!hasHandler(*m_runtime, clip))
                return;
            std::vector<Value> point{rootX, rootY, true};
            hit = m_runtime->toBoolean(m_runtime->callMethod(clip, "hitTest", point));
        });
        if (hit)
            return clip;
    }
    return nullptr;
}

void ScriptStage::buttonTransition(ClipObject *target, std::uint16_t condition)
{
    if (!target || target->removed)
        return;
    static const PointerEvent kEvents[] = {
        {IdleToOverUp, ClipEvent::RollOver, "onRollOver"},
        {OverUpToIdle, ClipEvent::RollOut, "onRollOut"},
        {OverUpToOverDown, ClipEvent::Press, "onPress"},
        {OverDownToOverUp, ClipEvent::Release, "onRelease"},
        {OverDownToOutDown, ClipEvent::DragOut, "onDragOut"},
        {OutDownToOverDown, ClipEvent::DragOver, "onDragOver"},
        {OutDownToIdle, ClipEvent::ReleaseOutside, "onReleaseOutside"},
    };
    // Only a value that is false turns the button off; undefined leaves it on.
    bool enabled = true;
    m_runtime->contained([&] {
        const Value v = m_runtime->get(target, "enabled");
        enabled = v.isUndefined() || m_runtime->toBoolean(v);
    });
    if (!enabled)
        return;
    Runtime &rt = *m_runtime;
    if (target->isButton && target->instance && target->instance->character) {
        const auto *def = std::get_if<Button>(target->instance->character);
        ClipObject *timeline = target->parent ? target->parent : m_rootClip;
        // The queue keeps views of the movie's own action bytes, never of a copy.
        for (const ButtonActions &a : def ? std::span(def->actions) : std::span<const ButtonActions>()) {
            if (a.conditions & condition & 0x1FF)
                rt.enqueue(Runtime::Priority::Normal, {timeline, a.actions.bytes, {}, false});
        }
    }
    for (const PointerEvent &e : kEvents) {
        if (e.condition == condition)
            queueClipEvent(target, target->isButton ? 0 : e.clipEvent, Runtime::Priority::Normal, e.method);
    }
    runQueue();
}

void ScriptStage::track(Tracked &t, ClipObject *clip)
{
    t = {};
    if (!clip || !clip->instance)
        return;
    t = {clip, clip->parent, clip->instance->depth, clip->instance->character};
}

ClipObject *ScriptStage::current(Tracked &t)
{
    if (!t.clip || !t.clip->removed)
        return t.clip;
    ClipObject *parent = t.parent;
    DisplayList *list = nullptr;
    if (parent && !parent->removed)
        list = parent->list ? parent->list : (parent->instance ? parent->instance->children.get() : nullptr);
    ClipObject *found = nullptr;
    if (list) {
        auto it = list->objects().find(t.depth);
        if (it != list->objects().end() && it->second.character == t.character && it->second.script &&
            !it->second.script->removed)
            found = it->second.script;
    }
    track(t, found);
    return found;
}

void ScriptStage::updatePointer(bool pressChanged)
{
    ClipObject *under = interactiveAt(m_mouse);
    ClipObject *hovered = current(m_hovered);
    ClipObject *pressed = current(m_pressed);
    if (m_mouseDown && pressed) {
        if (pressChanged)
            return;
        const bool over = under == pressed;
        if (!over && hovered == pressed) {
            track(m_hovered, nullptr);
            buttonTransition(pressed, OverDownToOutDown);
        } else if (over && hovered != pressed) {
            track(m_hovered, pressed);
            buttonTransition(pressed, OutDownToOverDown);
        }
        return;
    }
    if (under != hovered) {
        track(m_hovered, under);
        if (hovered)
            buttonTransition(hovered, OverUpToIdle);
        if (under)
            buttonTransition(under, IdleToOverUp);
    }
}

void ScriptStage::mouseMove(QPointF stage)
{
    dispatchMouseEvent(ClipEvent::MouseMove, "onMouseMove");
    listenerCall("Mouse", "onMouseMove");
    m_mouse = stage;
    if (dragged && dragged->instance) {
        QPointF p = stage;
        if (dragBounds) {
            p.setX(std::clamp(p.x(), (*dragBounds)[0], (*dragBounds)[2]));
            p.setY(std::clamp(p.y(), (*dragBounds)[1], (*dragBounds)[3]));
        }
        dragged->instance->matrix.tx = std::round(p.x() * 20);
        dragged->instance->matrix.ty = std::round(p.y() * 20);
        dragged->instance->scriptTransformed = true;
    }
    updatePointer(false);
    runQueue();
}

void ScriptStage::mouseDown(QPointF stage)
{
    dispatchMouseEvent(ClipEvent::MouseDown, "onMouseDown");
    listenerCall("Mouse", "onMouseDown");
    m_mouse = stage;
    m_mouseDown = true;
    ClipObject *under = interactiveAt(m_mouse);
    if (under && under != current(m_hovered)) {
        track(m_hovered, under);
        buttonTransition(under, IdleToOverUp);
    }
    // The press is the user's action (a roll-over on the way is not).
    m_userAction = true;
    m_urlOpened = false;
    track(m_pressed, under);
    if (under)
        buttonTransition(under, OverUpToOverDown);
    m_userAction = false;
    runQueue();
}

void ScriptStage::mouseUp(QPointF stage)
{
    dispatchMouseEvent(ClipEvent::MouseUp, "onMouseUp");
    listenerCall("Mouse", "onMouseUp");
    m_mouse = stage;
    m_mouseDown = false;
    ClipObject *pressed = current(m_pressed);
    track(m_pressed, nullptr);
    m_userAction = true;
    m_urlOpened = false;
    if (pressed) {
        if (interactiveAt(m_mouse) == pressed) {
            buttonTransition(pressed, OverDownToOverUp);
        } else {
            buttonTransition(pressed, OutDownToIdle);
            track(m_hovered, nullptr);
        }
    }
    m_userAction = false;
    updatePointer(false);
    runQueue();
}

// The first button whose key-press condition names the key (a character or a
// special key) runs it; the key goes no further.
bool ScriptStage::keyPressConditions(const KeyEvent &key)
{
    const int code = keyPressCode(key);
    if (code == 0)
        return false;
    Runtime &rt = *m_runtime;
    const std::vector<ClipObject *> clips = rt.liveClips;
    for (ClipObject *clip : clips) {
        if (clip->removed || !clip->isButton || !clip->instance || !clip->instance->character)
            continue;
        const auto *def = std::get_if<Button>(clip->instance->character);
        if (!def)
            continue;
        ClipObject *timeline = clip->parent ? clip->parent : m_rootClip;
        bool handled = false;
        for (const ButtonActions &a : def->actions) {
            if ((a.conditions >> 9) == code) {
                rt.enqueue(Runtime::Priority::Normal, {timeline, a.actions.bytes, {}, false});
                handled = true;
            }
        }
        if (handled) {
            runQueue();
            return true;
        }
    }
    return false;
}

// The object with keyboard focus hears the key first (onKeyDown, onKeyUp).
void ScriptStage::focusKey(const char *method)
{
    if (focus && focus->removed)
        focus = nullptr;
    if (!focus || m_runtime->version() < 6)
        return;
    m_runtime->enqueue(Runtime::Priority::Normal, {focus, {}, method, false});
    runQueue();
}

void ScriptStage::keyDown(const KeyEvent &key)
{
    lastKey = key;
    keysDown[key.code] = true;
    dispatchMouseEvent(ClipEvent::KeyDown, nullptr);
    focusKey("onKeyDown");
    listenerCall("Key", "onKeyDown");
    m_userAction = true;
    m_urlOpened = false;
    if (!keyPressConditions(key) && focus && !focus->removed) {
        // Space and Enter click the focused button; Tab moves the focus on.
        if (key.code == 32 || key.code == 13) {
            ClipObject *target = focus;
            buttonTransition(target, OverUpToOverDown);
            buttonTransition(target, OverDownToOverUp);
        } else if (key.code == 9) {
            moveFocus();
        }
    }
    runQueue();
    m_userAction = false;
}

void ScriptStage::keyUp(const KeyEvent &key)
{
    lastKey = key;
    keysDown[key.code] = false;
    dispatchMouseEvent(ClipEvent::KeyUp, nullptr);
    focusKey("onKeyUp");
    listenerCall("Key", "onKeyUp");
    runQueue();
}

// Tab order: the buttons and clips acting as buttons on stage, top to bottom and
// left to right; after the last comes the first.
void ScriptStage::moveFocus()
{
    struct Stop {
        QPointF at;
        ClipObject *clip;
    };
    std::vector<Stop> stops;
    for (ClipObject *clip : m_runtime->liveClips) {
        if (clip->removed || !clip->instance || !clip->instance->visible)
            continue;
        bool candidate = clip->isButton;
        if (!candidate)
            m_runtime->contained([&] { candidate = hasHandler(*m_runtime, clip); });
        if (!candidate)
            continue;
        QPointF at(clip->instance->matrix.tx, clip->instance->matrix.ty);
        for (ClipObject *p = clip->parent; p && p->instance; p = p->parent)
            at += QPointF(p->instance->matrix.tx, p->instance->matrix.ty);
        stops.push_back({at, clip});
    }
    if (stops.empty())
        return;
    std::stable_sort(stops.begin(), stops.end(), [](const Stop &a, const Stop &b) {
        return a.at.y() != b.at.y() ? a.at.y() < b.at.y() : a.at.x() < b.at.x();
    });
    auto it = std::find_if(stops.begin(), stops.end(), [&](const Stop &s) { return s.clip == focus; });
    focus = (it == stops.end() || std::next(it) == stops.end()) ? stops.front().clip : std::next(it)->clip;
}

ClipObject *ScriptStage::dropTarget()
{
    if (!dragged || !dragged->instance || !listUnder)
        return nullptr;
    DisplayList *list = listUnder(m_mouse, dragged->instance);
    ClipObject *clip = list ? clipOf(*list) : nullptr;
    return clip && clip->isButton ? clip->parent : clip;
}

bool ScriptStage::takeUrlPermission()
{
    if (!m_userAction || m_urlOpened)
        return false;
    m_urlOpened = true;
    return true;
}

} // namespace velmora::swf::avm1
