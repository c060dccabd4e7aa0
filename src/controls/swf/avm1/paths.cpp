// Reading target paths name by name. Before SWF 5 only slashes separate names and
// only clips are found; later a colon separates too, and a dot does until the
// first slash, and a name may also be a variable holding an object.
#include "controls/swf/avm1/paths.h"

#include "controls/swf/avm1/clipobject.h"

namespace velmora::swf::avm1 {

namespace {

bool isSeparator(char c, bool slashSeen)
{
    return c == '/' || c == ':' || (!slashSeen && c == '.');
}

Value parentOf(Runtime &rt, const Value &v)
{
    Object *o = v.isObject() ? v.asObject() : nullptr;
    if (!o || o->kind() != Object::Kind::Clip)
        return {};
    ClipObject *clip = liveClip(rt, static_cast<ClipObject *>(o));
    ClipObject *parent = clip ? scriptParent(rt, clip) : nullptr;
    return parent ? Value(parent) : Value();
}

// One name along a path: a child of a clip first, then a property (variables,
// _parent, _root, ...) and, for the first name of a variable path, anything in scope.
Value lookupName(Activation &act, const Value &current, const std::string &name, bool inScope)
{
    Runtime &rt = act.rt;
    Object *o = current.isObject() ? current.asObject() : nullptr;
    if (o && o->kind() == Object::Kind::Clip) {
        ClipObject *clip = liveClip(rt, static_cast<ClipObject *>(o));
        if (!clip)
            return {};
        if (ClipObject *child = clipChild(rt, clip, name))
            return child;
        o = clip;
    }
    if (inScope)
        return scopeLookup(act, name);
    return o ? rt.get(o, name) : Value();
}

// SWF 4: "/a/b", "a/../c", "_level0/a"; a level name ignores what follows it up to
// the next slash.
Value walkSlashPath(Activation &act, ClipObject *from, std::string_view path)
{
    Runtime &rt = act.rt;
    Value current = from ? Value(from) : Value();
    std::size_t i = 0;
    const auto level = levelName(path, false);
    if (!path.empty() && path[0] == '/') {
        current = rt.root;
        i = 1;
    } else if (level && level->end > 6) {
        if (level->level != 0)
            return {};
        current = rt.root;
        i = path.find('/', level->end);
        i = i == std::string_view::npos ? path.size() : i + 1;
    }
    while (i < path.size()) {
        std::size_t end = path.find('/', i);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view name = path.substr(i, end - i);
        if (name.empty())
            return {};
        if (name == "..") {
            current = parentOf(rt, current);
        } else {
            Object *o = current.isObject() ? current.asObject() : nullptr;
            ClipObject *child = o && o->kind() == Object::Kind::Clip
                                    ? clipChild(rt, static_cast<ClipObject *>(o), std::string(name))
                                    : nullptr;
            current = child ? Value(child) : Value();
        }
        if (!current.isObject())
            return {};
        i = end < path.size() ? end + 1 : end;
    }
    return current;
}

} // namespace

Value walkPath(Activation &act, ClipObject *from, std::string_view path, FirstName first)
{
    Runtime &rt = act.rt;
    if (rt.version() < 5)
        return walkSlashPath(act, from, path);
    Value current = from ? Value(from) : Value();
    std::size_t i = 0;
    bool slashSeen = false, firstName = true;
    if (!path.empty() && path[0] == '/') {
        current = rt.root;
        i = 1;
        slashSeen = true;
        firstName = false;
    }
    const std::size_t n = path.size();
    while (i < n) {
        while (i < n && path[i] == ':') // colons before a name are skipped
            ++i;
        if (i == n)
            return {};
        std::size_t end = i;
        if (path.substr(i, 2) == ".." && (i + 2 == n || path[i + 2] == '/' || path[i + 2] == ':')) {
            current = parentOf(rt, current);
            end = i + 2;
        } else {
            while (end < n && !isSeparator(path[end], slashSeen))
                ++end;
            if (end == i)
                return {};
            current = lookupName(act, current, std::string(path.substr(i, end - i)),
                                 firstName && first == FirstName::InScope);
        }
        if (!current.isObject())
            return {};
        i = end;
        if (i < n) {
            slashSeen = slashSeen || path[i] == '/';
            ++i;
        }
        firstName = false;
    }
    return current;
}

bool splitVariablePath(int version, std::string_view name, std::string_view &holder,
                       std::string_view &variable)
{
    const std::size_t at = version < 5 ? name.rfind(':') : name.find_last_of(":.");
    if (at == std::string_view::npos)
        return false;
    holder = name.substr(0, at);
    variable = name.substr(at + 1);
    return true;
}

std::optional<LevelName> levelName(std::string_view name, bool caseSensitive)
{
    constexpr std::size_t kPrefix = 6;
    const std::string head(name.substr(0, kPrefix));
    const std::string folded = caseSensitive ? head : foldCase(head);
    if (folded != "_level" && folded != "_flash")
        return std::nullopt;
    std::uint32_t level = 0;
    std::size_t end = kPrefix;
    const bool negative = end < name.size() && name[end] == '-';
    end += negative ? 1 : 0;
    for (; end < name.size() && name[end] >= '0' && name[end] <= '9'; ++end)
        level = level * 10 + static_cast<std::uint32_t>(name[end] - '0');
    return LevelName{static_cast<std::int32_t>(negative ? 0U - level : level), end};
}

ClipObject *clipAtTargetPath(Runtime &rt, const std::string &path)
{
    std::size_t start = path.find('.');
    const std::string level = path.substr(0, start);
    // The level's name may be taken by a variable of the root holding another clip.
    ClipObject *current = rt.root;
    if (const Property *p = rt.root ? rt.root->props.find(level) : nullptr) {
        Object *o = p->value.isObject() ? p->value.asObject() : nullptr;
        current = o && o->kind() == Object::Kind::Clip ? static_cast<ClipObject *>(o) : nullptr;
        if (current && current->removed)
            return nullptr;
    } else if (level != "_level0") {
        return nullptr;
    }
    while (current && start != std::string::npos) {
        const std::size_t end = path.find('.', start + 1);
        const std::string name = path.substr(start + 1, end == std::string::npos ? end : end - start - 1);
        current = clipChild(rt, current, name);
        start = end;
    }
    return current;
}

} // namespace velmora::swf::avm1
