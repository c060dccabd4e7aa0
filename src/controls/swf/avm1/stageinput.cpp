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
    // Clips with mouse handlers act as buttons over the area they cover.
    const std::vector<ClipObject *> clips = m_runtime->liveClips;
    for (auto it = clips.rbegin(); it != clips.rend(); ++it) {
        ClipObject *clip = *it;
        if (clip->removed || !clip->isMovieClip() || !clip->instance || !clip->instance->visible)
            continue;
        bool hit = false;
        m_runtime->contained([&] {
            if (!hasHandler(*m_runtime, clip))
                return;
            std::vector<Value> point{stage.x(), stage.y(), true};
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
    bool enabled = false;
    m_runtime->contained([&] { enabled = m_runtime->toBoolean(m_runtime->get(target, "enabled")); });
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

void ScriptStage::updatePointer(bool pressChanged)
{
    ClipObject *under = interactiveAt(m_mouse);
    if (m_mouseDown && m_pressed) {
        if (pressChanged)
            return;
        const bool over = under == m_pressed;
        if (!over && m_hovered == m_pressed) {
            m_hovered = nullptr;
            buttonTransition(m_pressed, OverDownToOutDown);
        } else if (over && m_hovered != m_pressed) {
            m_hovered = m_pressed;
            buttonTransition(m_pressed, OutDownToOverDown);
        }
        return;
    }
    if (under != m_hovered) {
        ClipObject *old = m_hovered;
        m_hovered = under;
        if (old)
            buttonTransition(old, OverUpToIdle);
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
        std::vector<Value> none;
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
    if (under && under != m_hovered) {
        m_hovered = under;
        buttonTransition(under, IdleToOverUp);
    }
    // The press is the user's action (a roll-over on the way is not).
    m_userAction = true;
    m_urlOpened = false;
    m_pressed = under;
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
    ClipObject *pressed = m_pressed;
    m_pressed = nullptr;
    m_userAction = true;
    m_urlOpened = false;
    if (pressed) {
        if (interactiveAt(m_mouse) == pressed) {
            buttonTransition(pressed, OverDownToOverUp);
        } else {
            buttonTransition(pressed, OutDownToIdle);
            m_hovered = nullptr;
        }
    }
    m_userAction = false;
    updatePointer(false);
    runQueue();
}

void ScriptStage::keyDown(const KeyEvent &key)
{
    lastKey = key;
    keysDown[key.code] = true;
    dispatchMouseEvent(ClipEvent::KeyDown, nullptr);
    listenerCall("Key", "onKeyDown");
    // Buttons whose key-press condition names this key (a character or a special key).
    const int code = keyPressCode(key);
    m_userAction = true;
    m_urlOpened = false;
    Runtime &rt = *m_runtime;
    const std::vector<ClipObject *> clips = rt.liveClips;
    for (ClipObject *clip : clips) {
        if (clip->removed || !clip->isButton || !clip->instance || !clip->instance->character)
            continue;
        const auto *def = std::get_if<Button>(clip->instance->character);
        if (!def)
            continue;
        ClipObject *timeline = clip->parent ? clip->parent : m_rootClip;
        for (const ButtonActions &a : def->actions) {
            if (code != 0 && (a.conditions >> 9) == code)
                rt.enqueue(Runtime::Priority::Normal, {timeline, a.actions.bytes, {}, false});
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
    listenerCall("Key", "onKeyUp");
    runQueue();
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
