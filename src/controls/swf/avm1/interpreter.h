// The stack machine: runs the actions of one block or function body against a
// scope chain, with the registers, constant pool and target of its activation.
#pragma once

#include "controls/swf/avm1/runtime.h"
#include "controls/swf/swfcodes.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora::swf::avm1 {

// The code and signature of a DefineFunction / DefineFunction2.
struct ScriptFunctionCode {
    std::string name;
    struct Parameter {
        std::string name;
        std::uint8_t reg = 0; // DefineFunction2: the register that receives it (0: none)
    };
    std::vector<Parameter> params;
    Code body;
    int version = 0;
    bool function2 = false;
    std::uint8_t registerCount = 0;
    std::uint16_t flags = 0; // DefineFunction2 preload and suppress flags
    std::shared_ptr<const std::vector<Value>> constants;
};

// DefineFunction2 flag bits.
enum FunctionFlag : std::uint16_t {
    PreloadThis = 0x0001,
    SuppressThis = 0x0002,
    PreloadArguments = 0x0004,
    SuppressArguments = 0x0008,
    PreloadSuper = 0x0010,
    SuppressSuper = 0x0020,
    PreloadRoot = 0x0040,
    PreloadParent = 0x0080,
    PreloadGlobal = 0x0100,
};

struct Activation {
    explicit Activation(Runtime &runtime) : rt(runtime) {}
    Runtime &rt;
    Code code;
    std::vector<ScopeEntry> scope;  // innermost last
    ClipObject *target = nullptr;   // where timeline actions go (tellTarget changes it)
    ClipObject *baseClip = nullptr; // the timeline the code belongs to
    Value self;
    Object *locals = nullptr; // function activations only
    Object *callee = nullptr;
    // Registers below registerCount are the activation's own; the others are those
    // of the enclosing top-level block (of which there are four).
    std::vector<Value> ownRegisters;
    Value *outerRegisters = nullptr;
    std::shared_ptr<const std::vector<Value>> constants;
    bool inFunction = false;
    bool thisSuppressed = false; // DefineFunction2 without `this`: the name means the timeline
    // A tellTarget made after the code's own clip left the stage names nothing:
    // timeline actions then go nowhere.
    bool targetLost = false;
};

// The top of the stack, removed; undefined when the stack is empty.
Value pop(std::vector<Value> &stack);

// Runs code from its start; returns the value of a Return (undefined otherwise).
Value execute(Activation &act);

// Variables by name or path ("a.b", "/a/b:c", "../x", "_root.x").
struct FoundVariable {
    Value value;
    Value holder; // the object a path named, which a call by that path gets as `this`
};
FoundVariable findVariable(Activation &act, const std::string &name);
Value getVariable(Activation &act, const std::string &name);
void setVariable(Activation &act, const std::string &name, const Value &v);
// DefineLocal2: the variable exists afterwards, undefined unless it had a value.
void declareVariable(Activation &act, const std::string &name);
// The clip or object a target path names (tellTarget, GetProperty, paths);
// undefined when nothing is there.
Value resolveTarget(Activation &act, const std::string &path);

// Operators with their per-version conversions (operators.cpp).
Value add2(Runtime &rt, const Value &a, const Value &b);
Value less2(Runtime &rt, const Value &a, const Value &b); // a < b, undefined when unordered
bool equals2(Runtime &rt, const Value &a, const Value &b);
bool strictEquals(Runtime &rt, const Value &a, const Value &b);
// The action codes that are plain operators on popped values; false when code is not one.
bool runOperator(Activation &act, ActionCode code, std::vector<Value> &stack);

} // namespace velmora::swf::avm1
