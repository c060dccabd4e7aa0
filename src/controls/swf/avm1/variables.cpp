// Variables by name along the scope chain, and by path ("/a/b:v", "a.b.v"): a path
// that names nothing falls back to the plain name, which scripts may have defined.
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/interpreter.h"
#include "controls/swf/avm1/paths.h"

namespace velmora::swf::avm1 {

namespace {

bool sameName(Runtime &rt, const std::string &a, const char *b)
{
    return rt.version() >= 7 ? a == b : foldCase(a) == foldCase(b);
}

bool isPath(const std::string &name)
{
    return name.find_first_of(":./") != std::string::npos;
}

// Names that stand for the global object and the root when no scope has a
// variable of that name (a script may set a "_root" variable of its own).
std::optional<Value> specialName(Activation &act, const std::string &name)
{
    Runtime &rt = act.rt;
    if (name.empty() || name[0] != '_')
        return std::nullopt;
    if (sameName(rt, name, "_global") && rt.version() >= 6)
        return Value(rt.global());
    if (sameName(rt, name, "_root"))
        return Value(rt.root);
    return std::nullopt;
}

ClipObject *fallbackClip(Activation &act)
{
    ClipObject *base = liveClip(act.rt, act.baseClip);
    return base ? base : act.rt.root;
}

// The object a scope entry stands for now. A timeline that left the stage hands
// its variables to the clip the code belongs to, or to the root when that went
// too; a with-object that was a removed clip drops out.
Object *scopeObject(Activation &act, const ScopeEntry &entry)
{
    Object *o = entry.object;
    if (!o || o->kind() != Object::Kind::Clip)
        return o;
    if (ClipObject *clip = liveClip(act.rt, static_cast<ClipObject *>(o)))
        return clip;
    return entry.kind == ScopeEntry::Kind::Target ? fallbackClip(act) : nullptr;
}

// SWF 4 has no clip values: a name that finds a clip reads as undefined.
Value asValue(Runtime &rt, Value v)
{
    if (rt.version() < 5 && v.isObject() && v.asObject()->kind() == Object::Kind::Clip)
        return {};
    return v;
}

// The holder a variable path names, if it names one ("a/b:v" → a/b).
Object *pathHolder(Activation &act, const std::string &name, std::string &variable)
{
    std::string_view holderPath, own;
    if (!splitVariablePath(act.rt.version(), name, holderPath, own))
        return nullptr;
    if (act.rt.version() < 5 && holderPath.empty())
        return nullptr;
    const Value holder = walkPath(act, currentTarget(act), holderPath, FirstName::InScope);
    if (!holder.isObject())
        return nullptr;
    variable = own;
    Object *o = holder.asObject();
    if (o->kind() == Object::Kind::Clip)
        o = liveClip(act.rt, static_cast<ClipObject *>(o));
    return o;
}

} // namespace

ClipObject *currentTarget(Activation &act)
{
    if (ClipObject *target = liveClip(act.rt, act.target))
        return target;
    return fallbackClip(act);
}

Value scopeLookup(Activation &act, const std::string &name)
{
    Runtime &rt = act.rt;
    if (sameName(rt, name, "this"))
        return act.thisSuppressed ? Value(act.target) : act.self;
    for (auto it = act.scope.rbegin(); it != act.scope.rend(); ++it) {
        Object *o = scopeObject(act, *it);
        if (o && rt.has(o, name))
            return rt.get(o, name);
    }
    if (auto special = specialName(act, name))
        return *special;
    // Every clip answers to the levels; a scope chain without a clip does too.
    if (const auto level = levelName(name, rt.version() >= 7))
        return level->level == 0 ? Value(rt.root) : Value();
    return {};
}

Value resolveTarget(Activation &act, const std::string &path)
{
    return walkPath(act, currentTarget(act), path, FirstName::InTarget);
}

FoundVariable findVariable(Activation &act, const std::string &name)
{
    Runtime &rt = act.rt;
    if (isPath(name)) {
        std::string variable;
        if (Object *holder = pathHolder(act, name, variable))
            return {asValue(rt, rt.get(holder, variable)), holder};
        std::string_view unusedHolder, unusedName;
        if (!splitVariablePath(rt.version(), name, unusedHolder, unusedName) &&
            name.find('/') != std::string::npos) {
            // Slashes alone name a clip.
            const Value clip = resolveTarget(act, name);
            if (clip.isObject())
                return {asValue(rt, clip), {}};
        }
    }
    return {asValue(rt, scopeLookup(act, name)), {}};
}

Value getVariable(Activation &act, const std::string &name)
{
    return findVariable(act, name).value;
}

void setVariable(Activation &act, const std::string &name, const Value &v)
{
    Runtime &rt = act.rt;
    std::string variable;
    std::string_view holderPath, own;
    if (splitVariablePath(rt.version(), name, holderPath, own)) {
        // A variable path whose holder does not exist sets nothing.
        if (Object *holder = pathHolder(act, name, variable))
            rt.set(holder, variable, v);
        return;
    }
    for (auto it = act.scope.rbegin(); it != act.scope.rend(); ++it) {
        Object *o = scopeObject(act, *it);
        if (!o)
            continue;
        if (it->kind == ScopeEntry::Kind::Target || it->kind == ScopeEntry::Kind::Global || rt.has(o, name)) {
            rt.set(o, name, v);
            return;
        }
    }
}

void declareVariable(Activation &act, const std::string &name)
{
    Runtime &rt = act.rt;
    if (act.locals) {
        if (!rt.hasOwn(act.locals, name))
            rt.define(act.locals, name, Value());
        return;
    }
    std::string variable = name;
    std::string_view holderPath, own;
    Object *holder = splitVariablePath(rt.version(), name, holderPath, own) ? pathHolder(act, name, variable)
                                                                            : currentTarget(act);
    if (holder && !rt.hasOwn(holder, variable))
        rt.set(holder, variable, Value());
}

} // namespace velmora::swf::avm1
