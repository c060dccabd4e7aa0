// Clip objects over the display list: finding a clip by path, its display
// properties (_x, _alpha, ...) and its timeline.
#include "controls/swf/avm1/clipobject.h"

#include "controls/swf/avm1/bounds.h"
#include "controls/swf/avm1/paths.h"
#include "controls/swf/avm1/stage.h"
#include "controls/swf/displaylist.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace velmora::swf::avm1 {

namespace {

constexpr double kTwips = 20.0;

bool sameName(const Runtime &rt, const std::string &a, const std::string &b)
{
    return rt.version() >= 7 ? a == b : foldCase(a) == foldCase(b);
}

struct PropertyName {
    const char *name;
    ClipProperty property;
};
constexpr PropertyName kPropertyNames[] = {
    {"_x", ClipProperty::X},
    {"_y", ClipProperty::Y},
    {"_xscale", ClipProperty::XScale},
    {"_yscale", ClipProperty::YScale},
    {"_currentframe", ClipProperty::CurrentFrame},
    {"_totalframes", ClipProperty::TotalFrames},
    {"_alpha", ClipProperty::Alpha},
    {"_visible", ClipProperty::Visible},
    {"_width", ClipProperty::Width},
    {"_height", ClipProperty::Height},
    {"_rotation", ClipProperty::Rotation},
    {"_target", ClipProperty::Target},
    {"_framesloaded", ClipProperty::FramesLoaded},
    {"_name", ClipProperty::Name},
    {"_droptarget", ClipProperty::DropTarget},
    {"_url", ClipProperty::Url},
    {"_highquality", ClipProperty::HighQuality},
    {"_focusrect", ClipProperty::FocusRect},
    {"_soundbuftime", ClipProperty::SoundBufTime},
    {"_quality", ClipProperty::Quality},
    {"_xmouse", ClipProperty::XMouse},
    {"_ymouse", ClipProperty::YMouse},
};

double scaleX(const Matrix &m)
{
    return std::sqrt(m.a * m.a + m.b * m.b);
}

double scaleY(const Matrix &m)
{
    return std::sqrt(m.c * m.c + m.d * m.d);
}

double rotationOf(const Matrix &m)
{
    return std::atan2(m.b, m.a);
}

// Rebuilds the linear part from scales and rotation, keeping the skew Flash keeps.
void setLinear(Matrix &m, double sx, double sy, double rotation)
{
    const double skew = std::atan2(-m.c, m.d) - rotationOf(m);
    m.a = sx * std::cos(rotation);
    m.b = sx * std::sin(rotation);
    m.c = -sy * std::sin(rotation + skew);
    m.d = sy * std::cos(rotation + skew);
}

// A property's new number; undefined, null and NaN leave the property as it was.
std::optional<double> numberArg(Runtime &rt, const Value &v)
{
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    const double n = rt.toNumber(v);
    if (std::isnan(n))
        return std::nullopt;
    return n;
}

// A position in whole twips: one past the 32-bit range, infinities included, is the
// lowest position there is, as the player's integer conversion gives it.
double positionTwips(double pixels)
{
    const double twips = std::round(pixels * kTwips);
    return twips >= -2147483648.0 && twips <= 2147483647.0 ? twips : -2147483648.0;
}

QPointF localMouse(Runtime &rt, ClipObject *clip)
{
    const QPointF stage = rt.stage ? rt.stage->mouse() : QPointF();
    const Matrix m = clipWorldMatrix(rt, clip);
    const double det = m.a * m.d - m.b * m.c;
    if (det == 0)
        return {};
    const double x = stage.x() * kTwips - m.tx, y = stage.y() * kTwips - m.ty;
    return {(m.d * x - m.c * y) / det / kTwips, (-m.b * x + m.a * y) / det / kTwips};
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

std::optional<ClipProperty> clipPropertyByName(const std::string &name, bool)
{
    if (name.size() < 2 || name[0] != '_')
        return std::nullopt;
    const std::string folded = foldCase(name);
    for (const PropertyName &p : kPropertyNames) {
        if (folded == p.name)
            return p.property;
    }
    return std::nullopt;
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

Instance *placementOf(Runtime &rt, ClipObject *clip)
{
    if (clip->instance)
        return clip->instance;
    return clip == rt.root && rt.stage ? &rt.stage->rootPlacement : nullptr;
}

Matrix clipWorldMatrix(Runtime &rt, ClipObject *clip)
{
    Matrix m;
    for (ClipObject *c = clip; c; c = c->parent) {
        if (const Instance *i = placementOf(rt, c))
            m = i->matrix * m;
    }
    return m;
}

Value getClipProperty(Runtime &rt, ClipObject *clip, ClipProperty p)
{
    Instance *i = placementOf(rt, clip);
    const Matrix m = i ? i->matrix : Matrix{};
    switch (p) {
    case ClipProperty::X:
        return m.tx / kTwips;
    case ClipProperty::Y:
        return m.ty / kTwips;
    case ClipProperty::XScale:
        return scaleX(m) * 100;
    case ClipProperty::YScale:
        return scaleY(m) * 100;
    case ClipProperty::CurrentFrame:
        return clipCurrentFrame(clip);
    case ClipProperty::TotalFrames:
    case ClipProperty::FramesLoaded:
        return clipTotalFrames(clip);
    case ClipProperty::Alpha:
        return i ? i->colorTransform.aMul * 100 : 100.0;
    case ClipProperty::Visible:
        return i ? i->visible : true;
    case ClipProperty::Width:
    case ClipProperty::Height: {
        const Rect r = clipBounds(clip, m);
        if (r.empty())
            return 0.0;
        return (p == ClipProperty::Width ? r.xMax - r.xMin : r.yMax - r.yMin) / kTwips;
    }
    case ClipProperty::Rotation:
        return rotationOf(m) * 180 / std::numbers::pi;
    case ClipProperty::Target:
        return clipSlashPath(clip);
    case ClipProperty::Name:
        return clip->parent ? Value(clip->name) : Value("");
    case ClipProperty::DropTarget: {
        // While the drag lasts, what lies under the pointer; afterwards where it ended.
        if (rt.stage && rt.stage->dragged == clip) {
            ClipObject *target = rt.stage->dropTarget();
            return target ? clipSlashPath(target) : std::string();
        }
        return clip->dropTarget;
    }
    case ClipProperty::Url:
        return "file:///movie.swf";
    case ClipProperty::HighQuality:
        return 1;
    case ClipProperty::FocusRect:
        return rt.version() >= 6 ? Value(true) : Value(1);
    case ClipProperty::SoundBufTime:
        return 5;
    case ClipProperty::Quality:
        return "HIGH";
    case ClipProperty::XMouse:
        return std::round(localMouse(rt, clip).x());
    case ClipProperty::YMouse:
        return std::round(localMouse(rt, clip).y());
    case ClipProperty::Count:
        break;
    }
    return {};
}

void setClipProperty(Runtime &rt, ClipObject *clip, ClipProperty p, const Value &v)
{
    Instance *i = placementOf(rt, clip);
    if (p == ClipProperty::Name) {
        clip->name = rt.toString(v);
        if (clip->instance)
            clip->instance->name = clip->name;
        clip->path = clip->parent ? clip->parent->path + "." + clip->name : clip->name;
        return;
    }
    if (!i)
        return;
    const std::optional<double> n = numberArg(rt, v);
    // The position, the alpha and the visibility take the infinities; the others ignore them.
    const bool finite = n && std::isfinite(*n);
    const double value = finite ? *n : 0.0;
    Matrix &m = i->matrix;
    switch (p) {
    case ClipProperty::X:
        if (n)
            m.tx = positionTwips(*n);
        break;
    case ClipProperty::Y:
        if (n)
            m.ty = positionTwips(*n);
        break;
    case ClipProperty::XScale:
        if (finite)
            setLinear(m, value / 100, scaleY(m), rotationOf(m));
        break;
    case ClipProperty::YScale:
        if (finite)
            setLinear(m, scaleX(m), value / 100, rotationOf(m));
        break;
    case ClipProperty::Rotation:
        if (finite) {
            double degrees = std::fmod(value, 360.0);
            if (degrees > 180)
                degrees -= 360;
            else if (degrees < -180)
                degrees += 360;
            setLinear(m, scaleX(m), scaleY(m), degrees * std::numbers::pi / 180);
        }
        break;
    case ClipProperty::Alpha:
        if (n) // kept in 1/256 steps; an infinity is none
            i->colorTransform.aMul = finite ? std::trunc(value * 2.56) / 256 : 0.0;
        break;
    case ClipProperty::Visible:
        if (n || v.isBool())
            i->visible = rt.toBoolean(v) || (n && *n != 0);
        break;
    case ClipProperty::Width:
    case ClipProperty::Height: {
        if (!finite || value < 0)
            break;
        const Rect r = clipBounds(clip, Matrix{});
        const double size = p == ClipProperty::Width ? r.xMax - r.xMin : r.yMax - r.yMin;
        if (r.empty() || size <= 0)
            break;
        const double factor = value * kTwips / size;
        if (p == ClipProperty::Width)
            setLinear(m, factor, scaleY(m), rotationOf(m));
        else
            setLinear(m, scaleX(m), factor, rotationOf(m));
        break;
    }
    default:
        return; // read-only
    }
    i->scriptTransformed = true;
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

void clipGotoNumber(Runtime &, ClipObject *clip, int zeroBasedFrame, bool play)
{
    if (!clip->list || !clip->list->timeline())
        return;
    // Before the first frame: nothing happens; past the last: the last frame, whose
    // scripts Flash does not run then.
    if (zeroBasedFrame < 0)
        return;
    clip->list->setPlaying(play);
    const int last = clipTotalFrames(clip) - 1;
    clip->list->gotoFrame(std::min(zeroBasedFrame, last), zeroBasedFrame <= last);
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
    const double n = frame.isString() ? stringToNumber(frame.asString(), rt.version()) : rt.toNumber(frame);
    if (!std::isnan(n)) {
        index = static_cast<int>(n) - 1;
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
