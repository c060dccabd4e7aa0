// One movie's script engine: the heap, the global object and prototypes, the
// conversions that may call into script, property access along prototype chains,
// function calls, the action queue and the limits that keep a hostile movie from
// freezing the player.
#pragma once

#include "controls/swf/avm1/object.h"

#include <span>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora::swf::avm1 {

class ClipObject;
class ScriptStage;

using Code = std::span<const std::uint8_t>;
struct Activation;

// A script `throw` travelling up to the nearest try block.
struct ScriptThrow {
    Value value;
};

struct Limits {
    static constexpr long kInstructionsPerFrame = 2'000'000;
    static constexpr int kMaxCallDepth = 256;
    static constexpr std::size_t kMaxStringBytes = 1 << 22;
    // Work on text (copies, concatenation, comparison, conversion) costs one
    // instruction per this many bytes, so that the budget bounds time as well.
    static constexpr std::size_t kBytesPerInstruction = 16;
    // The long strings a movie's scripts hold at once, across frames: values kept in
    // variables, arrays and objects, and those the collector has not freed yet.
    static constexpr std::size_t kMaxLiveStringBytes = std::size_t{64} << 20;
    static constexpr std::size_t kMaxArrayLength = 1 << 18;
    static constexpr std::size_t kMaxProperties = 1 << 16;
    static constexpr std::size_t kMaxStack = 1 << 16;
    static constexpr int kMaxPrototypeChain = 256;
};

// What the host does with what scripts ask of the outside world.
struct RuntimeHost {
    std::function<void(const std::string &)> trace;
    // getURL: the address and window; the host applies its own rules.
    std::function<void(const std::string &url, const std::string &target)> getUrl;
};

class Runtime {
public:
    Runtime(int swfVersion, RuntimeHost host);
    ~Runtime();
    Runtime(const Runtime &) = delete;
    Runtime &operator=(const Runtime &) = delete;

    int version() const { return m_version; }
    Heap &heap() { return m_heap; }
    const RuntimeHost &host() const { return m_host; }
    Object *global() const { return m_global; }

    // Prototypes of the built-in classes.
    struct Protos {
        Object *object = nullptr, *function = nullptr, *array = nullptr, *string = nullptr, *number = nullptr,
               *boolean = nullptr, *error = nullptr, *movieClip = nullptr, *button = nullptr,
               *textField = nullptr;
    } protos;

    // Allocation: throws ScriptAbort when the heap is full.
    Object *newObject(Object *proto = nullptr);
    ArrayObject *newArray(std::vector<Value> elements = {});
    FunctionObject *newNative(NativeFunction f, Object *proto = nullptr);
    FunctionObject *newFunction(); // a script function, with its prototype object
    Object *newError(const std::string &message);
    // A string a script built: charged by its length, and a limit ends the script.
    std::string limitString(std::string s);

    // Conversions with Flash's rules for this movie's version.
    Value toPrimitive(const Value &v, bool preferString = false);
    double toNumber(const Value &v);
    std::string toString(const Value &v);
    bool toBoolean(const Value &v);
    Object *toObject(const Value &v);
    std::string typeOf(const Value &v) const;
    // A number, or a boolean in SWF 5 and later (SWF 4 has no booleans).
    Value boolValue(bool b) const;

    // Properties: own then along the prototype chain, with virtual properties.
    Value get(Object *o, const std::string &name);
    Value getMember(const Value &target, const std::string &name);
    void set(Object *o, const std::string &name, const Value &v);
    void setMember(const Value &target, const std::string &name, const Value &v);
    bool has(Object *o, const std::string &name);
    bool hasOwn(Object *o, const std::string &name);
    bool remove(Object *o, const std::string &name);
    // Adds or replaces an own property without setters (definitions, built-ins).
    void define(Object *o, const std::string &name, const Value &v, std::uint8_t flags = 0);
    void defineMethod(Object *o, const std::string &name, NativeFunction f, std::uint8_t flags = DontEnum);
    // Enumerable names, as a for-in loop visits them.
    std::vector<std::string> keys(Object *o);

    // A script function called without `this` runs on its timeline, unless the
    // caller asks for `this` exactly as given (a method call without a name).
    enum class ThisRule : std::uint8_t { TimelineWhenMissing, AsGiven };
    Value call(const Value &function, const Value &self, std::vector<Value> &args,
               ThisRule rule = ThisRule::TimelineWhenMissing);
    Value callMethod(const Value &target, const std::string &name, std::vector<Value> &args);
    Value construct(const Value &constructor, std::vector<Value> &args);
    bool instanceOf(const Value &v, const Value &constructor);

    // Runs a top-level action block on a timeline.
    void runBlock(Code code, ClipObject *clip);
    // Scripts, frames and clip events waiting to run, in Flash's order.
    struct QueuedAction {
        ClipObject *clip = nullptr;
        Code code;
        std::string method;        // instead of code: a handler method called on the clip
        bool runOnRemoved = false; // unload handlers run after the clip left the stage
    };
    enum class Priority { Initialize, Construct, Normal };
    void enqueue(Priority p, QueuedAction a);
    void runQueue();
    // Runs script code the host calls into (a queued action, a listener, a handler
    // read while the pointer moves) and ends it as Flash does: an uncaught throw
    // becomes the debug player's warning, a limit stops every script for the rest
    // of the frame. Nothing a script does leaves the engine. False when the code
    // did not run to its end.
    template <class ScriptCode> bool contained(ScriptCode &&code);
    // A limit was hit this frame: the remaining scripts of the frame do not run.
    bool aborted() const { return m_aborted; }
    // True while a native function is running as a constructor (`new X`); natives
    // read it first thing.
    bool constructing() const { return m_constructing; }

    // Bytes of the long strings this movie's scripts hold now.
    std::size_t liveStringBytes() const { return m_strings->bytes(); }

    // Frame boundaries: restores the budget and frees unreachable objects.
    void beginFrame();
    void collectGarbage(std::vector<Object *> extraRoots);

    void trace(const std::string &text) const;
    // The Flash debug player's warning lines are part of the trace.
    void warn(const std::string &text) const { trace("Warning: " + text); }

    void spend(long instructions = 1)
    {
        m_budget -= instructions;
        if (m_budget < 0)
            throw ScriptAbort{"instruction budget"};
    }
    // Charges work over `bytes` of text; short strings cost nothing extra.
    void spendBytes(std::size_t bytes)
    {
        if (bytes >= Limits::kBytesPerInstruction)
            spend(static_cast<long>(bytes / Limits::kBytesPerInstruction));
    }
    // ScriptLimits may lower or raise the recursion limit.
    int maxCallDepth = Limits::kMaxCallDepth;
    // The four registers of the top-level block running now; functions without
    // registers of their own (or with too few) use these.
    Value *blockRegisters = nullptr;
    std::vector<Value> &stack() { return m_stack; }
    // Clip objects the display keeps alive (a root for the collector).
    std::vector<ClipObject *> liveClips;
    ClipObject *root = nullptr;
    ScriptStage *stage = nullptr; // the display side, for clips and input
    // The removed clip whose unload handler is running: it still reads as its path.
    ClipObject *unloading = nullptr;

    // A frame's code that a script calls (ActionCall) runs as one level of the call
    // depth, as a function does: frames that call each other end at the limit.
    void callBlock(Code code, ClipObject *clip);
    // Script functions are executed by the interpreter (interpreter.cpp).
    Value callScript(FunctionObject *f, const Value &self, std::vector<Value> &args, Object *callee,
                     ThisRule rule = ThisRule::TimelineWhenMissing);

private:
    void installBuiltins();
    void runQueued(const QueuedAction &a);
    void reportUncaught(const Value &thrown);

    int m_version;
    RuntimeHost m_host;
    // Shared with the strings charged to it, which may outlive the runtime.
    std::shared_ptr<StringAccount> m_strings = std::make_shared<StringAccount>(Limits::kMaxLiveStringBytes);
    std::size_t m_stringBytesAfterCollect = 0;
    Heap m_heap;
    Object *m_global = nullptr;
    std::deque<QueuedAction> m_queues[3];
    std::vector<Value> m_stack;
    long m_budget = Limits::kInstructionsPerFrame;
    int m_callDepth = 0;
    Object *m_caller = nullptr; // the function running now, for arguments.caller
    bool m_aborted = false;
    bool m_constructingNative = false, m_constructing = false;
};

template <class ScriptCode> bool Runtime::contained(ScriptCode &&code)
{
    const StringAccount::Scope strings(m_strings);
    try {
        code();
        return true;
    } catch (const ScriptThrow &thrown) {
        reportUncaught(thrown.value);
    } catch (const ScriptAbort &) {
        m_aborted = true;
    }
    return false;
}

} // namespace velmora::swf::avm1
