// The built-in classes and global functions, installed once per runtime.
#pragma once

#include "controls/swf/avm1/runtime.h"

namespace velmora::swf::avm1 {

inline Value arg(const std::vector<Value> &args, std::size_t i)
{
    return i < args.size() ? args[i] : Value();
}

void installObjectAndFunction(Runtime &rt, Object *global);
void installPrimitiveClasses(Runtime &rt, Object *global); // Boolean, Number, Error
void installMath(Runtime &rt, Object *global);             // builtins_math.cpp
void installGlobalFunctions(Runtime &rt, Object *global);
void installArray(Runtime &rt, Object *global);
void installArraySort(Runtime &rt, Object *arrayCtor, Object *arrayProto); // builtins_sort.cpp
void installString(Runtime &rt, Object *global);
void installMovieClip(Runtime &rt, Object *global); // movieclip.cpp

// Array.prototype.join's rule, shared with toString.
std::string joinArray(Runtime &rt, Object *array, const std::string &separator);

} // namespace velmora::swf::avm1
