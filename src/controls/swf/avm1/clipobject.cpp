// Clip objects over the display list: finding a clip by path, its children and its
// timeline (the display properties are in clipproperties.cpp).
#include "controls/swf/avm1/clipobject.h"

#include "controls/swf/avm1/paths.h"
#include "controls/swf/avm1/stage.h"
#include "controls/swf/displaylist.h"

#include <algorithm>
#include <limits>

namespace velmora::swf::avm1 {

namespace {

bool sameName(const Runtime &rt, const std::string &a, const std::string &b)
{
    return rt.version() >= 7 ? a == b : foldCase(a) == foldCase(b);
}

const Timeline *timelineOf(ClipObject *clip)
{
    return clip->list ? clip->list->timeline() : nullptr;
}

} // namespace

ClipObject *liveClip(Runtime &rt, ClipObject *clip)
{
    if (!clip || !clip->removed)
        return clip;
    ClipObject *now = clipAtTargetPath(rt, clip->path);
    return now == clip ? nullptr : now;
}

std::string clipString(Runtime &rt, ClipObject *clip)
{
    if (ClipObject *live = liveClip(rt, clip))
        return clipTargetPath(live);
    return clip == rt.unloading ? clip->path : std::string();
}

int clipCurrentFrame(ClipObject *clip)
{
    return clip->list ? std::max(1, clip->list->currentFrame() + 1) : 1;
}

int clipTotalFrames(ClipObject *clip)
{
    const Timeline *t = timelineOf(clip);
    return t ? t->frameCount : 1;
}

bool getClipSpecial(Runtime &rt, ClipObject *clip, const std::string &name, Value &out)
{
    if (clip->removed)
        return false;
    // A level's name is the level's, even when a child has that name.
    if (const auto level = levelName(name, rt.version() >= 7)) {
        out = level->level == 0 ? Value(rt.root) : Value();
        return true;
    }
    if (ClipObject *child = clipChild(rt, clip, name)) {
        out = child;
        return true;
    }
    if (name.empty() || name[0] != '_')
        return false;
    if (auto p = clipPropertyByName(name, rt.version() >= 7)) {
        out = getClipProperty(rt, clip, *p);
        return true;
    }
    // Unlike the display properties these names match case from SWF 7 on.
    if (sameName(rt, name, "_parent")) {
        ClipObject *parent = scriptParent(rt, clip);
        out = parent ? Value(parent) : Value();
        return true;
    }
    if (sameName(rt, name, "_root")) {
        out = rt.root;
        return true;
    }
    if (sameName(rt, name, "_global") && rt.version() >= 6) {
        out = rt.global();
        return true;
    }
    return false;
}

bool setClipSpecial(Runtime &rt, ClipObject *clip, const std::string &name, const Value &v)
{
    if (auto p = clipPropertyByName(name, rt.version() >= 7)) {
        setClipProperty(rt, clip, *p, v);
        return true;
    }
    return false;
}

ClipObject *scriptParent(Runtime &rt, ClipObject *clip)
{
    ClipObject *parent = clip->parent;
    if (parent && parent->isButton && rt.version() < 6)
        return parent->parent;
    return parent;
}

ClipObject *clipChild(Runtime &rt, ClipObject *clip, const std::string &name)
{
    DisplayList *list = clip->list;
    if (!list || name.empty())
        return nullptr;
    for (auto &[depth, object] : list->objects()) {
        if (object.name.empty() || !sameName(rt, object.name, name))
            continue;
        if (object.script && !(object.script->isButton && rt.version() < 6))
            return object.script;
        // A named shape (or an SWF 5 button) has no object of its own: its name reads
        // as its clip.
        if (object.character && !std::holds_alternative<EditText>(*object.character))
            return clip;
    }
    return nullptr;
}

void clipChildNames(Runtime &, ClipObject *clip, std::vector<std::string> &out)
{
    if (!clip->list)
        return;
    for (auto &[depth, object] : clip->list->objects()) {
        if (object.script && !object.name.empty())
            out.push_back(object.name);
    }
}

std::string clipTargetPath(ClipObject *clip)
{
    if (!clip->parent)
        return clip->removed ? clip->path : "_level0";
    return clipTargetPath(clip->parent) + "." + clip->name;
}

std::string clipSlashPath(ClipObject *clip)
{
    if (!clip->parent)
        return "/";
    const std::string parent = clipSlashPath(clip->parent);
    return (parent == "/" ? "" : parent) + "/" + clip->name;
}

void clipSetPlaying(ClipObject *clip, bool playing)
{
    if (clip->list)
        clip->list->setPlaying(playing);
}

namespace {

// A goto replays the timeline: forward from the frame after the current one, back
// from the first frame. The frames it walks (most of a long timeline holds nothing)
// and the placements it applies count against the budget, so that a script jumping
// to and fro on a long timeline stops as any other busy script does.
void chargeGoto(Runtime &rt, const Timeline &t, int from, int to)
{
    if (to == from)
        return;
    const int first = to > from ? from + 1 : 0;
    std::size_t placements = 0;
    for (int f = first; f <= to && f < static_cast<int>(t.frames.size()); ++f)
        placements += t.frames[static_cast<std::size_t>(f)].commands.size();
    rt.spend(static_cast<long>(static_cast<std::size_t>(to - first + 1) / 16 + placements));
}

} // namespace

void clipGotoNumber(Runtime &rt, ClipObject *clip, int zeroBasedFrame, bool play)
{
    if (!clip->list || !clip->list->timeline())
        return;
    // Before the first frame: nothing happens; past the last: the last frame, whose
    // scripts Flash does not run then.
    if (zeroBasedFrame < 0)
        return;
    const int last = clipTotalFrames(clip) - 1;
    const int target = std::min(zeroBasedFrame, last);
    chargeGoto(rt, *clip->list->timeline(), clip->list->currentFrame(), target);
    clip->list->setPlaying(play);
    clip->list->gotoFrame(target, zeroBasedFrame <= last);
}

std::optional<int> clipLabelFrame(ClipObject *clip, const std::string &label)
{
    // Labels match without regard to case in every version.
    const Timeline *t = timelineOf(clip);
    const std::string folded = foldCase(label);
    for (std::size_t f = 0; t && f < t->frames.size(); ++f) {
        if (!t->frames[f].label.empty() && foldCase(t->frames[f].label) == folded)
            return static_cast<int>(f);
    }
    return std::nullopt;
}

void clipGotoLabel(Runtime &rt, ClipObject *clip, const std::string &label, bool play)
{
    if (const auto frame = clipLabelFrame(clip, label))
        clipGotoNumber(rt, clip, *frame, play);
}

void clipGotoFrame(Runtime &rt, ClipObject *clip, const Value &frame, bool play, int bias)
{
    double number = std::numeric_limits<double>::quiet_NaN();
    std::string label;
    if (frame.isNumber()) {
        number = frame.asNumber();
    } else if (frame.isString()) {
        const std::string &s = frame.asString();
        rt.spendBytes(s.size());
        // "path:frame" goes to a frame of the clip the path names.
        if (const std::size_t colon = s.rfind(':'); colon != std::string::npos) {
            Activation from(rt);
            from.target = from.baseClip = clip;
            const Value holder =
                walkPath(from, clip, std::string_view(s).substr(0, colon), FirstName::InTarget);
            Object *o = holder.isObject() ? holder.asObject() : nullptr;
            if (o && o->kind() == Object::Kind::Clip)
                clipGotoFrame(rt, static_cast<ClipObject *>(o), Value(s.substr(colon + 1)), play, bias);
            return;
        }
        number = stringToNumber(s, rt.version());
        label = s;
    }
    if (std::isfinite(number) && number == std::trunc(number)) {
        // Frame numbers wrap as 32-bit integers, the 0-based one too.
        const auto zeroBased = static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt32(number)) - 1u);
        clipGotoNumber(rt, clip, zeroBased + bias, play);
        return;
    }
    // Anything else names a label by its string: 4.5, NaN, undefined, false.
    if (!frame.isString())
        label = rt.toString(frame);
    if (const auto labelled = clipLabelFrame(clip, label))
        clipGotoNumber(rt, clip, *labelled + bias, play);
}

void clipNextFrame(Runtime &rt, ClipObject *clip)
{
    if (clip->list && clip->list->currentFrame() + 1 < clipTotalFrames(clip))
        clipGotoNumber(rt, clip, clip->list->currentFrame() + 1, false);
    else
        clipSetPlaying(clip, false);
}

void clipPrevFrame(Runtime &rt, ClipObject *clip)
{
    if (clip->list && clip->list->currentFrame() > 0)
        clipGotoNumber(rt, clip, clip->list->currentFrame() - 1, false);
    else
        clipSetPlaying(clip, false);
}

std::vector<Code> clipFrameActions(Runtime &rt, ClipObject *clip, const Value &frame)
{
    std::vector<Code> blocks;
    const Timeline *t = timelineOf(clip);
    if (!t)
        return blocks;
    int index = -1;
    if (frame.isString())
        rt.spendBytes(frame.asString().size() * (t->frames.size() + 1)); // compared with every label
    const double n = frame.isString() ? stringToNumber(frame.asString(), rt.version()) : rt.toNumber(frame);
    if (!std::isnan(n)) {
        index = static_cast<int>(std::clamp(n, -1.0, 2147483647.0)) - 1;
    } else if (frame.isString()) {
        for (std::size_t f = 0; f < t->frames.size(); ++f) {
            if (sameName(rt, t->frames[f].label, frame.asString()))
                index = static_cast<int>(f);
        }
    }
    if (const Frame *f = t->frame(index)) {
        for (const ActionBlock &b : f->actions)
            blocks.emplace_back(b.bytes);
    }
    return blocks;
}

void removeClip(Runtime &, ClipObject *clip)
{
    Instance *i = clip->instance;
    if (!i || !clip->parent || !clip->parent->list)
        return;
    // Only clips at script depths (0 and up) can be removed by script.
    if (i->depth < kDynamicDepthBase || i->depth >= kDynamicDepthBase + (1 << 20))
        return;
    clip->parent->list->remove(i->depth);
}

std::optional<int> placementDepth(double depth, int offset)
{
    if (!std::isfinite(depth))
        return std::nullopt;
    const std::int64_t d = std::int64_t{toInt32(depth)} + offset;
    if (d > kMaxPlacementDepth)
        return std::nullopt;
    return static_cast<int>(std::max<std::int64_t>(d, 0));
}

Value placeScriptClip(Runtime &rt, ClipObject *parent, const ScriptPlacement &p)
{
    DisplayList *list = parent->list;
    if (!list)
        return {};
    Instance object = list->makeInstance(p.characterId, p.depth);
    if (p.characterId == 0) {
        // An empty clip: a timeline of one empty frame.
        static const Timeline kEmpty;
        object.children =
            std::make_unique<DisplayList>(list->movie(), &kEmpty, list->budget(), list->nesting() + 1);
        object.children->setObserver(list->observer());
        static const Character kEmptySprite = Sprite{};
        object.character = &kEmptySprite;
    }
    object.name = p.name;
    if (const Instance *like = p.like) {
        object.matrix = like->matrix;
        object.colorTransform = like->colorTransform;
        object.visible = like->visible;
        object.clipActions = like->clipActions;
    }
    ClipObject *clip = list->placeDynamic(std::move(object)).script;
    if (!clip)
        return {};
    if (p.like && p.like->script)
        clip->transform = p.like->script->transform;
    if (p.init.isObject()) {
        for (const std::string &key : rt.keys(p.init.asObject()))
            rt.set(clip, key, rt.get(p.init.asObject(), key));
    }
    return clip;
}

Value duplicateClip(Runtime &rt, ClipObject *source, const std::string &name, int depth, const Value &init)
{
    const Instance *i = source->instance;
    if (!i || !source->parent || !source->isMovieClip())
        return {};
    return placeScriptClip(rt, source->parent, {i->characterId, name, depth, init, i});
}

void startDrag(Runtime &rt, ClipObject *clip, bool lockCenter, const double *bounds)
{
    if (!rt.stage)
        return;
    rt.stage->dragged = clip;
    rt.stage->dragLockCenter = lockCenter;
    if (bounds)
        rt.stage->dragBounds = std::array<double, 4>{bounds[0], bounds[1], bounds[2], bounds[3]};
    else
        rt.stage->dragBounds.reset();
}

void stopDrag(Runtime &rt)
{
    if (!rt.stage || !rt.stage->dragged)
        return;
    ClipObject *target = rt.stage->dropTarget();
    rt.stage->dragged->dropTarget = target ? clipSlashPath(target) : std::string();
    rt.stage->dragged = nullptr;
}

} // namespace velmora::swf::avm1
