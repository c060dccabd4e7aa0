#include "controls/swf/avm1/stage.h"

#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/builtins.h"

#include <algorithm>

namespace velmora::swf::avm1 {

namespace {

// How many clips a movie may have at once before new ones stay without scripts.
constexpr std::size_t kMaxClips = 20000;

bool timelineHasScripts(const Timeline &t)
{
    for (const Frame &f : t.frames) {
        if (!f.actions.empty() || !f.initActions.empty())
            return true;
        for (const PlaceCommand &c : f.commands) {
            if (!c.clipActions.empty())
                return true;
        }
    }
    return false;
}

} // namespace

bool hasScripts(const Movie &movie)
{
    if (timelineHasScripts(movie.root))
        return true;
    for (const auto &[id, c] : movie.characters) {
        if (const auto *sprite = std::get_if<Sprite>(&c); sprite && timelineHasScripts(sprite->timeline))
            return true;
        if (const auto *button = std::get_if<Button>(&c); button && !button->actions.empty())
            return true;
    }
    return false;
}

ScriptStage::ScriptStage(const Movie &movie, DisplayList &root, RuntimeHost host)
    : m_movie(movie), m_root(root),
      m_runtime(std::make_unique<Runtime>(movie.header.version, std::move(host)))
{
    Runtime &rt = *m_runtime;
    rt.stage = this;
    if (movie.scriptLimits.maxRecursion > 0)
        rt.maxCallDepth = movie.scriptLimits.maxRecursion;
    m_rootClip = rt.heap().make<ClipObject>();
    m_rootClip->proto = rt.protos.movieClip;
    m_rootClip->list = &root;
    m_rootClip->name = "_level0";
    m_rootClip->path = "_level0";
    rt.root = m_rootClip;
    root.setObserver(this);
}

ScriptStage::~ScriptStage() = default;

ClipObject *ScriptStage::clipOf(DisplayList &list)
{
    if (&list == &m_root)
        return m_rootClip;
    Instance *self = list.self();
    return self ? self->script : nullptr;
}

ClipObject *ScriptStage::objectFor(Instance &object)
{
    return object.script;
}

void ScriptStage::beginFrame()
{
    m_runtime->beginFrame();
}

void ScriptStage::advanceTimelines()
{
    if (m_root.currentFrame() < 0) {
        m_root.tick(); // the first frame places and starts everything
        return;
    }
    // Clips placed during this pass have run their first frame already, and clips
    // removed during it are skipped.
    const std::vector<ClipObject *> clips = m_runtime->liveClips;
    for (auto it = clips.rbegin(); it != clips.rend(); ++it) {
        if (!(*it)->removed && (*it)->list)
            (*it)->list->advanceOwnFrame();
    }
    m_root.advanceOwnFrame();
}

void ScriptStage::endFrame()
{
    m_runtime->runQueue();
    std::vector<Object *> roots;
    if (dragged)
        roots.push_back(dragged);
    if (focus)
        roots.push_back(focus);
    m_runtime->collectGarbage(std::move(roots));
}

void ScriptStage::initActions(DisplayList &list, const Frame &frame)
{
    ClipObject *clip = clipOf(list);
    if (!clip)
        return;
    for (const InitActions &init : frame.initActions) {
        if (m_initDone.insert(init.spriteId).second)
            m_runtime->enqueue(Runtime::Priority::Initialize, {clip, init.actions.bytes, {}, false});
    }
}

void ScriptStage::frameAction(DisplayList &list, const ActionBlock &block)
{
    if (ClipObject *clip = clipOf(list))
        m_runtime->enqueue(Runtime::Priority::Normal, {clip, block.bytes, {}, false});
}

void ScriptStage::placed(DisplayList &parent, Instance &object)
{
    if (!object.character)
        return;
    const bool sprite = std::holds_alternative<Sprite>(*object.character);
    const bool button = std::holds_alternative<Button>(*object.character);
    if ((!sprite && !button) || m_runtime->liveClips.size() >= kMaxClips)
        return;
    Runtime &rt = *m_runtime;
    ClipObject *clip = rt.heap().make<ClipObject>();
    if (!clip)
        return;
    clip->proto = button ? rt.protos.button : rt.protos.movieClip;
    clip->isButton = button;
    clip->instance = &object;
    clip->list = sprite ? object.children.get() : nullptr;
    clip->parent = clipOf(parent);
    if (object.name.empty())
        object.name = nextInstanceName();
    clip->name = object.name;
    clip->path = clip->parent ? clip->parent->path + "." + clip->name : clip->name;
    object.script = clip;
    rt.liveClips.push_back(clip);
    if (object.clipActions && !object.clipActions->empty()) {
        clip->clipActions = object.clipActions;
        queueClipEvent(clip, ClipEvent::Initialize, Runtime::Priority::Initialize);
        queueClipEvent(clip, ClipEvent::Construct, Runtime::Priority::Construct);
        queueClipEvent(clip, ClipEvent::Load, Runtime::Priority::Normal);
    }
}

void ScriptStage::relocated(DisplayList &parent, Instance &object)
{
    if (ClipObject *clip = object.script) {
        clip->instance = &object;
        clip->list = clip->isButton ? nullptr : object.children.get();
        clip->parent = clipOf(parent);
    }
}

void ScriptStage::queueClipEvent(ClipObject *clip, std::uint32_t event, Runtime::Priority priority,
                                 const char *method, bool onRemoved)
{
    Runtime &rt = *m_runtime;
    if (clip->clipActions) {
        for (const ClipActions &actions : *clip->clipActions) {
            if (actions.events & event)
                rt.enqueue(priority, {clip, actions.actions.bytes, {}, onRemoved});
        }
    }
    if (method)
        rt.enqueue(priority, {clip, {}, method, onRemoved});
}

void ScriptStage::removing(DisplayList &, Instance &object, bool unload)
{
    detach(object, unload);
}

// Unload runs for the innermost clips first; the objects stay readable by the
// handlers but no longer count as on stage.
void ScriptStage::detach(Instance &object, bool unload)
{
    if (object.children && !(object.script && object.script->isButton)) {
        for (auto &[depth, child] : object.children->objects())
            detach(child, unload);
    }
    ClipObject *clip = object.script;
    if (!clip || clip->removed)
        return;
    if (unload)
        queueClipEvent(clip, ClipEvent::Unload, Runtime::Priority::Normal, "onUnload", true);
    clip->removed = true;
    clip->list = nullptr;
    clip->instance = nullptr;
    object.script = nullptr;
    if (dragged == clip)
        dragged = nullptr;
    auto &live = m_runtime->liveClips;
    live.erase(std::remove(live.begin(), live.end(), clip), live.end());
}

void ScriptStage::enteringFrame(DisplayList &list)
{
    ClipObject *clip = clipOf(list);
    if (!clip)
        return;
    queueClipEvent(clip, ClipEvent::EnterFrame, Runtime::Priority::Normal, "onEnterFrame");
}

void ScriptStage::placeFailed(int depth)
{
    m_runtime->warn("Failed to place object at depth " + std::to_string(depth) + ".");
}

} // namespace velmora::swf::avm1

namespace velmora::swf::avm1 {

namespace {

struct PointerEvent {
    std::uint16_t condition; // button condition
    std::uint32_t clipEvent;
    const char *method;
};

// The pointer's state relative to one button or clip-as-button.
enum class PointerState { Idle, OverUp, OverDown, OutDown };

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
        if (!(*it)->removed && !(*it)->isButton)
            queueClipEvent(*it, event, Runtime::Priority::Normal, method);
    }
    m_runtime->runQueue();
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
        if (clip->removed || clip->isButton || !clip->instance || !clip->instance->visible)
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
    m_runtime->runQueue();
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
    m_runtime->runQueue();
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
    m_runtime->runQueue();
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
    m_runtime->runQueue();
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
    rt.runQueue();
    m_userAction = false;
}

void ScriptStage::keyUp(const KeyEvent &key)
{
    lastKey = key;
    keysDown[key.code] = false;
    dispatchMouseEvent(ClipEvent::KeyUp, nullptr);
    listenerCall("Key", "onKeyUp");
    m_runtime->runQueue();
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
