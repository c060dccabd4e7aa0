// MovieClip.prototype, Button.prototype and the input objects (Key, Mouse,
// Selection) scripts use.
#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/bounds.h"
#include "controls/swf/avm1/builtins.h"
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/paths.h"
#include "controls/swf/avm1/stage.h"
#include "controls/swf/displaylist.h"

#include <cmath>

namespace velmora::swf::avm1 {

namespace {

constexpr double kTwips = 20.0;

ClipObject *thisClip(Runtime &rt, const Value &self)
{
    if (!self.isObject() || self.asObject()->kind() != Object::Kind::Clip)
        return nullptr;
    return liveClip(rt, static_cast<ClipObject *>(self.asObject()));
}

using ClipMethod = Value (*)(Runtime &, ClipObject *, std::vector<Value> &);

void method(Runtime &rt, Object *proto, const char *name, ClipMethod f)
{
    rt.defineMethod(proto, name, [f](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
        ClipObject *clip = thisClip(r, self);
        return clip ? f(r, clip, args) : Value();
    });
}

std::optional<int> scriptDepth(Runtime &rt, const Value &v)
{
    return placementDepth(rt.toNumber(v), kDynamicDepthBase);
}

Value attachMovie(Runtime &rt, ClipObject *clip, std::vector<Value> &args)
{
    if (args.size() < 3 || !rt.stage)
        return {};
    const std::string id = rt.toString(args[0]);
    const auto &exports = rt.stage->movie().exportedNames;
    std::uint16_t characterId = 0;
    bool found = false;
    for (const auto &[name, character] : exports) {
        if (foldCase(name) == foldCase(id)) {
            characterId = character;
            found = true;
        }
    }
    const std::string name = rt.toString(args[1]);
    const auto depth = scriptDepth(rt, args[2]);
    if (!found || !depth)
        return {};
    const auto *character = rt.stage->movie().characters.count(characterId)
                                ? &rt.stage->movie().characters.at(characterId)
                                : nullptr;
    if (!character || !std::holds_alternative<Sprite>(*character))
        return {};
    return placeScriptClip(rt, clip, {characterId, name, *depth, arg(args, 3), nullptr});
}

Value duplicateMovieClip(Runtime &rt, ClipObject *clip, std::vector<Value> &args)
{
    if (args.size() < 2)
        return {};
    const std::string name = rt.toString(args[0]);
    const auto depth = scriptDepth(rt, args[1]);
    return depth ? duplicateClip(rt, clip, name, *depth, arg(args, 2)) : Value();
}

Value createEmptyMovieClip(Runtime &rt, ClipObject *clip, std::vector<Value> &args)
{
    if (args.size() < 2)
        return {};
    const std::string name = rt.toString(args[0]);
    const auto depth = scriptDepth(rt, args[1]);
    return depth ? placeScriptClip(rt, clip, {0, name, *depth, Value(), nullptr}) : Value();
}

Value getDepth(Runtime &, ClipObject *clip, std::vector<Value> &)
{
    if (!clip->instance)
        return -16384;
    return clip->instance->depth - kDynamicDepthBase;
}

Value getNextHighestDepth(Runtime &, ClipObject *clip, std::vector<Value> &)
{
    if (!clip->list)
        return {};
    int next = 0;
    if (!clip->list->objects().empty())
        next = std::max(0, clip->list->objects().rbegin()->first - kDynamicDepthBase + 1);
    return next;
}

Value getInstanceAtDepth(Runtime &rt, ClipObject *clip, std::vector<Value> &args)
{
    if (!clip->list || args.empty())
        return {};
    const auto depth = scriptDepth(rt, args[0]);
    if (!depth)
        return {};
    auto it = clip->list->objects().find(*depth);
    if (it == clip->list->objects().end())
        return {};
    return it->second.script ? Value(it->second.script) : Value(clip);
}

Value swapDepths(Runtime &rt, ClipObject *clip, std::vector<Value> &args)
{
    if (!clip->instance || !clip->parent || !clip->parent->list || args.empty())
        return {};
    DisplayList &list = *clip->parent->list;
    int other = 0;
    const Value target = args[0];
    if (target.isObject() && target.asObject()->kind() == Object::Kind::Clip) {
        ClipObject *o = liveClip(rt, static_cast<ClipObject *>(target.asObject()));
        if (!o || !o->instance || o->parent != clip->parent)
            return {};
        other = o->instance->depth;
    } else {
        const auto depth = scriptDepth(rt, target);
        if (!depth)
            return {};
        other = *depth;
    }
    const int mine = clip->instance->depth;
    list.swapDepths(mine, other);
    for (int d : {mine, other}) {
        auto it = list.objects().find(d);
        if (it != list.objects().end())
            it->second.dynamic = true; // the timeline no longer owns what a script moved
    }
    return {};
}

// The clip a method's argument names: a clip, or a path from `from` (anything else
// is read as its string, so undefined is the path "undefined" from SWF 7 on); null
// when it names none.
ClipObject *clipArgument(Runtime &rt, ClipObject *from, const Value &v)
{
    if (v.isObject() && v.asObject()->kind() == Object::Kind::Clip)
        return liveClip(rt, static_cast<ClipObject *>(v.asObject()));
    const std::string path = rt.toString(v);
    if (path.empty())
        return nullptr;
    Activation act(rt);
    act.target = act.baseClip = from;
    const Value named = walkPath(act, from, path, FirstName::InTarget);
    if (!named.isObject() || named.asObject()->kind() != Object::Kind::Clip)
        return nullptr;
    return liveClip(rt, static_cast<ClipObject *>(named.asObject()));
}

// getBounds(target) / getRect(target): the clip's area in the target's space, its own
// without a target.
Value getBounds(Runtime &rt, ClipObject *clip, std::vector<Value> &args)
{
    ClipObject *space = args.empty() ? clip : clipArgument(rt, clip, args[0]);
    Matrix inverse;
    if (!space || !invert(clipWorldMatrix(rt, space), inverse))
        return {};
    const Rect r = clipBounds(clip, inverse * clipWorldMatrix(rt, clip));
    Object *o = rt.newObject();
    const double big = 6710886.35;
    rt.set(o, "xMin", r.empty() ? big : r.xMin / kTwips);
    rt.set(o, "xMax", r.empty() ? big : r.xMax / kTwips);
    rt.set(o, "yMin", r.empty() ? big : r.yMin / kTwips);
    rt.set(o, "yMax", r.empty() ? big : r.yMax / kTwips);
    return o;
}

// hitTest(x, y[, shapeFlag]) with a point in the root's space, or hitTest(target):
// whether the boxes on stage meet.
Value hitTest(Runtime &rt, ClipObject *clip, std::vector<Value> &args)
{
    const Rect mine = clipBounds(clip, clipWorldMatrix(rt, clip));
    if (args.size() >= 2) {
        const Matrix root = clipWorldMatrix(rt, rt.root);
        const double x = rt.toNumber(args[0]) * kTwips, y = rt.toNumber(args[1]) * kTwips;
        return mine.contains(root.a * x + root.c * y + root.tx, root.b * x + root.d * y + root.ty);
    }
    ClipObject *other = args.empty() ? nullptr : clipArgument(rt, clip, args[0]);
    if (!other)
        return false;
    const Rect theirs = clipBounds(other, clipWorldMatrix(rt, other));
    return !mine.empty() && !theirs.empty() && mine.xMin <= theirs.xMax && theirs.xMin <= mine.xMax &&
           mine.yMin <= theirs.yMax && theirs.yMin <= mine.yMax;
}

// localToGlobal and globalToLocal: the point's own x and y, both numbers, change in
// place to the other space, in whole twips as Flash keeps positions.
Value convertPoint(Runtime &rt, ClipObject *clip, std::vector<Value> &args, bool toGlobal)
{
    if (args.empty() || !args[0].isObject())
        return {};
    Object *point = args[0].asObject();
    if (!rt.hasOwn(point, "x") || !rt.hasOwn(point, "y"))
        return {};
    const Value xv = rt.get(point, "x"), yv = rt.get(point, "y");
    if (!xv.isNumber() || !yv.isNumber())
        return {};
    Matrix m = clipWorldMatrix(rt, clip);
    if (!toGlobal && !invert(clipWorldMatrix(rt, clip), m))
        return {};
    const double x = xv.asNumber() * kTwips, y = yv.asNumber() * kTwips;
    rt.set(point, "x", std::round(m.a * x + m.c * y + m.tx) / kTwips);
    rt.set(point, "y", std::round(m.b * x + m.d * y + m.ty) / kTwips);
    return {};
}

// An object given as a frame names it by its string (a number or a label).
Value frameArgument(Runtime &rt, const Value &v)
{
    return v.isObject() ? Value(rt.toString(v)) : v;
}

void installTimelineMethods(Runtime &rt, Object *proto)
{
    method(rt, proto, "play", [](Runtime &, ClipObject *c, std::vector<Value> &) -> Value {
        clipSetPlaying(c, true);
        return {};
    });
    method(rt, proto, "stop", [](Runtime &, ClipObject *c, std::vector<Value> &) -> Value {
        clipSetPlaying(c, false);
        return {};
    });
    method(rt, proto, "gotoAndPlay", [](Runtime &r, ClipObject *c, std::vector<Value> &a) -> Value {
        if (!a.empty())
            clipGotoFrame(r, c, frameArgument(r, a[0]), true);
        return {};
    });
    method(rt, proto, "gotoAndStop", [](Runtime &r, ClipObject *c, std::vector<Value> &a) -> Value {
        if (!a.empty())
            clipGotoFrame(r, c, frameArgument(r, a[0]), false);
        return {};
    });
    method(rt, proto, "nextFrame", [](Runtime &r, ClipObject *c, std::vector<Value> &) -> Value {
        clipNextFrame(r, c);
        return {};
    });
    method(rt, proto, "prevFrame", [](Runtime &r, ClipObject *c, std::vector<Value> &) -> Value {
        clipPrevFrame(r, c);
        return {};
    });
}

void installClipMethods(Runtime &rt, Object *proto)
{
    installTimelineMethods(rt, proto);
    method(rt, proto, "attachMovie", attachMovie);
    method(rt, proto, "duplicateMovieClip", duplicateMovieClip);
    method(rt, proto, "createEmptyMovieClip", createEmptyMovieClip);
    method(rt, proto, "removeMovieClip", [](Runtime &r, ClipObject *c, std::vector<Value> &) -> Value {
        removeClip(r, c);
        return {};
    });
    method(rt, proto, "getNextHighestDepth", getNextHighestDepth);
    method(rt, proto, "getInstanceAtDepth", getInstanceAtDepth);
    method(rt, proto, "swapDepths", swapDepths);
    method(rt, proto, "getBounds", getBounds);
    method(rt, proto, "getRect", getBounds);
    method(rt, proto, "hitTest", hitTest);
    method(rt, proto, "localToGlobal", [](Runtime &r, ClipObject *c, std::vector<Value> &a) -> Value {
        return convertPoint(r, c, a, true);
    });
    method(rt, proto, "globalToLocal", [](Runtime &r, ClipObject *c, std::vector<Value> &a) -> Value {
        return convertPoint(r, c, a, false);
    });
    method(rt, proto, "startDrag", [](Runtime &r, ClipObject *c, std::vector<Value> &a) -> Value {
        double bounds[4] = {};
        const bool constrained = a.size() >= 5;
        for (std::size_t i = 0; constrained && i < 4; ++i)
            bounds[i] = r.toNumber(a[i + 1]);
        startDrag(r, c, !a.empty() && r.toBoolean(a[0]), constrained ? bounds : nullptr);
        return {};
    });
    method(rt, proto, "stopDrag", [](Runtime &r, ClipObject *, std::vector<Value> &) -> Value {
        stopDrag(r);
        return {};
    });
    // A clip placed from the file counts the bytes of its sprite; the root, the whole file.
    auto bytes = [](Runtime &r, ClipObject *c, std::vector<Value> &) -> Value {
        if (c->parent && c->instance && c->instance->character) {
            if (const auto *sprite = std::get_if<Sprite>(c->instance->character))
                return static_cast<double>(sprite->byteLength);
        }
        return r.stage ? static_cast<double>(r.stage->movie().fileLength) : 0.0;
    };
    method(rt, proto, "getBytesLoaded", bytes);
    method(rt, proto, "getBytesTotal", bytes);
    method(rt, proto, "getSWFVersion",
           [](Runtime &r, ClipObject *, std::vector<Value> &) -> Value { return r.version(); });
    // Nothing is loaded from outside and nothing is drawn by script here.
    for (const char *name :
         {"loadMovie", "loadVariables", "unloadMovie", "getURL", "createTextField", "setMask", "clear",
          "beginFill", "endFill", "lineStyle", "moveTo", "lineTo", "curveTo"})
        rt.defineMethod(proto, name,
                        [](Runtime &, const Value &, std::vector<Value> &) -> Value { return {}; });
}

void installInputObjects(Runtime &rt, Object *global)
{
    Object *key = rt.newObject();
    rt.define(global, "Key", key, DontEnum);
    const std::pair<const char *, int> codes[] = {
        {"BACKSPACE", 8}, {"TAB", 9},    {"ENTER", 13}, {"SHIFT", 16}, {"CONTROL", 17}, {"CAPSLOCK", 20},
        {"ESCAPE", 27},   {"SPACE", 32}, {"PGUP", 33},  {"PGDN", 34},  {"END", 35},     {"HOME", 36},
        {"LEFT", 37},     {"UP", 38},    {"RIGHT", 39}, {"DOWN", 40},  {"INSERT", 45},  {"DELETEKEY", 46},
    };
    for (const auto &[name, code] : codes)
        rt.define(key, name, code, DontEnum | DontDelete | ReadOnly);
    rt.defineMethod(key, "getCode", [](Runtime &r, const Value &, std::vector<Value> &) -> Value {
        return r.stage ? r.stage->lastKey.code : 0;
    });
    rt.defineMethod(key, "getAscii", [](Runtime &r, const Value &, std::vector<Value> &) -> Value {
        return r.stage ? r.stage->lastKey.character : 0;
    });
    rt.defineMethod(key, "isDown", [](Runtime &r, const Value &, std::vector<Value> &a) -> Value {
        if (!r.stage || a.empty())
            return false;
        auto it = r.stage->keysDown.find(toInt32(r.toNumber(a[0])));
        return it != r.stage->keysDown.end() && it->second;
    });
    Object *mouse = rt.newObject();
    rt.define(global, "Mouse", mouse, DontEnum);
    for (Object *o : {key, mouse}) {
        rt.define(o, "_listeners", rt.newArray(), DontEnum);
        rt.defineMethod(o, "addListener", [](Runtime &r, const Value &self, std::vector<Value> &a) -> Value {
            Value list = r.getMember(self, "_listeners");
            if (!list.isObject() || a.empty())
                return false;
            std::vector<Value> push{a[0]};
            r.callMethod(list, "push", push);
            return true;
        });
        rt.defineMethod(
            o, "removeListener", [](Runtime &r, const Value &self, std::vector<Value> &a) -> Value {
                Value list = r.getMember(self, "_listeners");
                if (!list.isObject() || list.asObject()->kind() != Object::Kind::Array || a.empty())
                    return false;
                std::vector<Value> e = arrayElements(r, list.asObject());
                for (auto it = e.begin(); it != e.end(); ++it) {
                    if (it->isObject() && a[0].isObject() && it->asObject() == a[0].asObject()) {
                        e.erase(it);
                        storeArrayElements(r, list.asObject(), std::move(e));
                        return true;
                    }
                }
                return false;
            });
    }
    rt.defineMethod(mouse, "show", [](Runtime &, const Value &, std::vector<Value> &) -> Value { return 1; });
    rt.defineMethod(mouse, "hide", [](Runtime &, const Value &, std::vector<Value> &) -> Value { return 1; });

    Object *selection = rt.newObject();
    rt.define(global, "Selection", selection, DontEnum);
    rt.defineMethod(selection, "setFocus", [](Runtime &r, const Value &, std::vector<Value> &a) -> Value {
        if (!r.stage)
            return false;
        const Value v = arg(a, 0);
        r.stage->focus = v.isObject() && v.asObject()->kind() == Object::Kind::Clip
                             ? static_cast<ClipObject *>(v.asObject())
                             : nullptr;
        return true;
    });
    rt.defineMethod(selection, "getFocus", [](Runtime &r, const Value &, std::vector<Value> &) -> Value {
        if (!r.stage || !r.stage->focus)
            return Value(Null{});
        return clipTargetPath(r.stage->focus);
    });
}

} // namespace

void installMovieClip(Runtime &rt, Object *global)
{
    // The classes' constructors make nothing: clips, buttons and fields come from the timeline.
    for (auto [name, proto] :
         {std::pair{"MovieClip", rt.protos.movieClip}, std::pair{"Button", rt.protos.button},
          std::pair{"TextField", rt.protos.textField}}) {
        rt.define(
            global, name,
            rt.newNative([](Runtime &, const Value &, std::vector<Value> &) -> Value { return {}; }, proto),
            DontEnum);
        method(rt, proto, "getDepth", getDepth);
    }
    installClipMethods(rt, rt.protos.movieClip);
    // A button's for-in lists these two, unlike a clip's.
    for (Object *proto : {rt.protos.movieClip, rt.protos.button}) {
        const std::uint8_t flags = proto == rt.protos.button ? 0 : DontEnum;
        rt.define(proto, "enabled", true, flags);
        rt.define(proto, "useHandCursor", true, flags);
    }
    installInputObjects(rt, global);
}

} // namespace velmora::swf::avm1
