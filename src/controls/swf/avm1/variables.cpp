// Variables by name along the scope chain, and the two path syntaxes that name
// clips and their variables: slash paths ("/a/b:v", "../x") and dot paths ("a.b.v").
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/interpreter.h"

namespace velmora::swf::avm1 {

namespace {

bool sameName(Runtime &rt, const std::string &a, const char *b)
{
    return rt.version() >= 7 ? a == b : foldCase(a) == foldCase(b);
}

Object *live(Runtime &rt, Object *o)
{
    if (o && o->kind() == Object::Kind::Clip)
        return liveClip(rt, static_cast<ClipObject *>(o));
    return o;
}

// _level0, _level1, ...: this player has one level.
bool isLevelName(Runtime &rt, const std::string &name, int &level)
{
    if (name.size() < 7 || !sameName(rt, name.substr(0, 6), "_level"))
        return false;
    level = 0;
    for (std::size_t i = 6; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        level = std::min(level * 10 + (name[i] - '0'), 100000);
    }
    return true;
}

// Names every scope answers to before its own variables are looked at.
std::optional<Value> specialName(Activation &act, const std::string &name)
{
    Runtime &rt = act.rt;
    if (name.empty() || (name[0] != '_' && name[0] != 't' && name[0] != 'T'))
        return std::nullopt;
    if (sameName(rt, name, "this"))
        return act.thisSuppressed ? Value(act.target) : act.self;
    if (sameName(rt, name, "_global") && rt.version() >= 6)
        return Value(rt.global());
    if (sameName(rt, name, "_root"))
        return Value(rt.root);
    int level = 0;
    if (isLevelName(rt, name, level))
        return level == 0 ? Value(rt.root) : Value();
    return std::nullopt;
}

// One segment of a path from the object `from`.
Value pathSegment(Activation &act, const Value &from, const std::string &segment)
{
    Runtime &rt = act.rt;
    Object *o = from.isObject() ? live(rt, from.asObject()) : nullptr;
    if (!o)
        return {};
    if (segment == "..") {
        if (o->kind() == Object::Kind::Clip) {
            ClipObject *parent = static_cast<ClipObject *>(o)->parent;
            return parent ? Value(parent) : Value();
        }
        return {};
    }
    if (auto special = specialName(act, segment); special && !sameName(rt, segment, "this"))
        return *special;
    if (sameName(rt, segment, "this"))
        return from;
    if (o->kind() == Object::Kind::Clip) {
        if (ClipObject *child = clipChild(rt, static_cast<ClipObject *>(o), segment))
            return child;
    }
    return rt.get(o, segment);
}

// Splits "a/b:v" or "a.b.v" into the path of a target and a variable name; false
// for a plain name.
bool splitPath(const std::string &name, std::string &path, std::string &variable)
{
    const std::size_t colon = name.rfind(':');
    if (colon != std::string::npos) {
        path = name.substr(0, colon);
        variable = name.substr(colon + 1);
        return true;
    }
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name[dot - 1] != '.' && dot + 1 < name.size()) {
        path = name.substr(0, dot);
        variable = name.substr(dot + 1);
        return true;
    }
    return false;
}

} // namespace

Value resolveTarget(Activation &act, const std::string &path)
{
    Runtime &rt = act.rt;
    Value current = act.target ? Value(liveClip(rt, act.target)) : Value();
    if (current.isObject() && !current.asObject())
        current = Value();
    std::size_t i = 0;
    if (path.empty())
        return current;
    if (path[0] == '/') {
        current = rt.root;
        i = 1;
    }
    bool first = i == 0;
    while (i < path.size()) {
        std::size_t end = i;
        if (path.compare(i, 2, "..") == 0) {
            end = i + 2;
        } else {
            while (end < path.size() && path[end] != '/' && path[end] != '.')
                ++end;
        }
        std::string segment = path.substr(i, end - i);
        i = end < path.size() ? end + 1 : end;
        if (segment.empty()) {
            first = false;
            continue;
        }
        if (first && segment != "..") {
            // The first name of a relative path: a child of the target, or any variable in scope.
            Value child = pathSegment(act, current, segment);
            if (child.isObject()) {
                current = child;
            } else {
                current = getVariable(act, segment);
            }
        } else {
            current = pathSegment(act, current, segment);
        }
        first = false;
        if (!current.isObject())
            return {};
    }
    return current;
}

Value getVariable(Activation &act, const std::string &name)
{
    Runtime &rt = act.rt;
    std::string path, variable;
    if (name.find_first_of(":./") != std::string::npos) {
        if (splitPath(name, path, variable)) {
            const Value t = resolveTarget(act, path);
            if (!t.isObject())
                return {};
            return pathSegment(act, t, variable);
        }
        if (name.find('/') != std::string::npos)
            return resolveTarget(act, name);
    }
    if (auto special = specialName(act, name))
        return *special;
    for (auto it = act.scope.rbegin(); it != act.scope.rend(); ++it) {
        Object *o = live(rt, it->object);
        if (o && rt.has(o, name))
            return rt.get(o, name);
    }
    return {};
}

void setVariable(Activation &act, const std::string &name, const Value &v)
{
    Runtime &rt = act.rt;
    std::string path, variable;
    if (name.find_first_of(":.") != std::string::npos && splitPath(name, path, variable)) {
        const Value t = resolveTarget(act, path);
        if (t.isObject())
            rt.set(live(rt, t.asObject()), variable, v);
        return;
    }
    for (auto it = act.scope.rbegin(); it != act.scope.rend(); ++it) {
        Object *o = live(rt, it->object);
        if (!o)
            continue;
        if (it->kind == ScopeEntry::Kind::Target || it->kind == ScopeEntry::Kind::Global || rt.has(o, name)) {
            rt.set(o, name, v);
            return;
        }
    }
}

} // namespace velmora::swf::avm1
