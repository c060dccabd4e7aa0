// Target paths: the slash syntax of SWF 4 ("/a/b", "../c", "_level0/a", variables
// after a colon) and the mixed syntax of later versions, where dots and colons
// separate names too ("a.b", "a:b", "_root.a/b").
#pragma once

#include "controls/swf/avm1/interpreter.h"

#include <string_view>

namespace velmora::swf::avm1 {

// Where the first name of a relative path is looked for: among the children and
// properties of the target only (tellTarget, GetProperty), or in the whole scope
// chain as well (the holder part of a variable path, which may start with `this`
// or a local variable).
enum class FirstName : std::uint8_t { InTarget, InScope };

// A plain name looked up along the scope chain, after the names every scope
// answers to (this, _root, _global, _level0).
Value scopeLookup(Activation &act, const std::string &name);

// The clip that relative paths start from and timeline actions go to: the target,
// or when it has left the stage the clip the code belongs to, or else the root.
ClipObject *currentTarget(Activation &act);

// The object a path names, read from `from` (the current target); undefined when a
// name along it does not exist. An empty path names `from`.
Value walkPath(Activation &act, ClipObject *from, std::string_view path, FirstName first);

// Splits a variable path into the path of its holder and the variable's own name:
// at the last colon, or (from SWF 5) the last colon or dot. False for a name
// without one.
bool splitVariablePath(int version, std::string_view name, std::string_view &holder,
                       std::string_view &variable);

// "_level0", "_level" (0), "_level12abc" (12), "_level-1", or "_flash0" as SWF 4 spells it:
// the level such a name gives, its digits read to 32 bits as Flash reads them, and
// where the digits end. Nothing for other names.
struct LevelName {
    std::int32_t level = 0;
    std::size_t end = 0;
};
std::optional<LevelName> levelName(std::string_view name, bool caseSensitive);

// The clip now at a target path of the form "_level0.a.b"; null when there is none.
ClipObject *clipAtTargetPath(Runtime &rt, const std::string &path);

} // namespace velmora::swf::avm1
