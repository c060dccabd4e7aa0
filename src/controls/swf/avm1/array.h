// Flash's arrays: the elements are ordinary properties named by their index (so
// they enumerate with the others, newest first, and holes are simply missing),
// and the length is a 32-bit integer of its own that writes to index names move.
#pragma once

#include "controls/swf/avm1/object.h"

#include <optional>

namespace velmora::swf::avm1 {

class Runtime;

// The index a property name addresses: decimal digits with an optional '-',
// wrapping to 32 bits as Flash reads them; nothing for other names.
std::optional<std::int32_t> arrayIndexOf(const std::string &name);

// Sets the length; the elements from the new length (or 0) up to the old one go.
void setArrayLength(ArrayObject *a, std::int32_t length);
// A write to `name` is about to happen: an index at or past the end lengthens the
// array to one past it.
void noteArrayWrite(ArrayObject *a, const std::string &name);

// The elements 0 .. length-1 of any object with a length (bounded).
std::vector<Value> arrayElements(Runtime &rt, Object *o);
// Replaces an array's elements (an array-like object's, through its setters).
void storeArrayElements(Runtime &rt, Object *o, std::vector<Value> elements);

} // namespace velmora::swf::avm1
