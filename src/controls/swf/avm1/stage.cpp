#include "controls/swf/avm1/stage.h"

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

// Whether the object or its prototypes hold a handler under `method`, read without
// running a script: a getter counts as a handler, as it may hand out one. The
// timeline asks while it changes its display list, where no script may run.
bool hasHandler(const Object *object, const char *method)
{
    const Object *o = object;
    for (int depth = 0; o && depth < Limits::kMaxPrototypeChain; ++depth, o = o->proto) {
        if (const Property *p = o->props.find(method))
            return p->getter || (p->value.isObject() && p->value.asObject()->isFunction());
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
    m_rootClip->name = ""; // until a script names it; its path stays _level0
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

bool ScriptStage::runsEveryFrame() const
{
    // The root is no live clip of its own, but its onEnterFrame runs as theirs do.
    if (hasHandler(m_rootClip, "onEnterFrame"))
        return true;
    for (const ClipObject *clip : m_runtime->liveClips) {
        if (clip->removed || !clip->list)
            continue;
        if (clip->clipActions &&
            std::any_of(clip->clipActions->begin(), clip->clipActions->end(),
                        [](const ClipActions &a) { return (a.events & ClipEvent::EnterFrame) != 0; }))
            return true;
        if (hasHandler(clip, "onEnterFrame"))
            return true;
    }
    return false;
}

void ScriptStage::endFrame()
{
    runQueue();
    std::vector<Object *> roots;
    if (dragged)
        roots.push_back(dragged);
    if (focus)
        roots.push_back(focus);
    for (ClipObject *pointer : {m_hovered.clip, m_pressed.clip}) {
        if (pointer)
            roots.push_back(pointer);
    }
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
    const bool text = std::holds_alternative<EditText>(*object.character);
    // Clips, buttons and text fields the file leaves unnamed are numbered in the
    // order they are placed; shapes and static text are not.
    if (object.name.empty() && (sprite || button || text))
        object.name = nextInstanceName();
    if ((!sprite && !button && !text) || m_runtime->liveClips.size() >= kMaxClips)
        return;
    Runtime &rt = *m_runtime;
    ClipObject *clip = rt.heap().make<ClipObject>();
    if (!clip)
        return;
    clip->proto = button ? rt.protos.button : text ? rt.protos.textField : rt.protos.movieClip;
    clip->isButton = button;
    clip->isText = text;
    clip->instance = &object;
    clip->list = sprite ? object.children.get() : nullptr;
    clip->parent = clipOf(parent);
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
    if (unload && !clip->leaving)
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

// Whether the clip or one of its nested clips has an unload handler.
bool ScriptStage::hasUnloadHandler(Instance &object)
{
    ClipObject *clip = object.script;
    if (!clip || !clip->isMovieClip())
        return false;
    if (clip->clipActions) {
        for (const ClipActions &a : *clip->clipActions) {
            if (a.events & ClipEvent::Unload)
                return true;
        }
    }
    if (hasHandler(clip, "onUnload"))
        return true;
    if (!object.children)
        return false;
    for (auto &[depth, child] : object.children->objects()) {
        if (hasUnloadHandler(child))
            return true;
    }
    return false;
}

bool ScriptStage::unloadLater(DisplayList &, Instance &object)
{
    if (!hasUnloadHandler(object))
        return false;
    queueUnload(object);
    m_unloadLater.push_back(object.script);
    return true;
}

// The unload events of a clip and its nested clips, innermost first; what the
// clips had queued besides no longer runs.
void ScriptStage::queueUnload(Instance &object)
{
    if (object.children && !(object.script && object.script->isButton)) {
        for (auto &[depth, child] : object.children->objects())
            queueUnload(child);
    }
    if (ClipObject *clip = object.script; clip && !clip->removed && !clip->leaving) {
        clip->leaving = true;
        queueClipEvent(clip, ClipEvent::Unload, Runtime::Priority::Normal, "onUnload", true);
    }
}

// Runs what scripts are queued; clips kept for their unload handlers go after.
void ScriptStage::runQueue()
{
    m_runtime->runQueue();
    removeUnloaded();
}

void ScriptStage::removeUnloaded()
{
    const std::vector<ClipObject *> clips = std::move(m_unloadLater);
    m_unloadLater.clear();
    for (ClipObject *clip : clips) {
        if (!clip->removed && clip->instance && clip->parent && clip->parent->list)
            clip->parent->list->remove(clip->instance->depth, false);
    }
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
