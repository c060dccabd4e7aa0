// One movie's script engine: allocation on its heap, function calls, the action
// queue in Flash's order, and the per-frame budget and collection.
#include "controls/swf/avm1/runtime.h"

#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/interpreter.h"

namespace velmora::swf::avm1 {

Runtime::Runtime(int swfVersion, RuntimeHost host)
    : m_version(swfVersion), m_host(std::move(host)), m_heap(swfVersion >= 7)
{
    const StringAccount::Scope strings(m_strings);
    installBuiltins();
}

Runtime::~Runtime() = default;

Object *Runtime::newObject(Object *proto)
{
    Object *o = m_heap.make<Object>();
    if (!o)
        throw ScriptAbort{"object limit"};
    o->proto = proto ? proto : protos.object;
    return o;
}

ArrayObject *Runtime::newArray(std::vector<Value> elements)
{
    ArrayObject *a = m_heap.make<ArrayObject>();
    if (!a)
        throw ScriptAbort{"object limit"};
    a->proto = protos.array;
    if (elements.size() > Limits::kMaxArrayLength)
        elements.resize(Limits::kMaxArrayLength);
    for (std::size_t i = 0; i < elements.size(); ++i)
        a->props.insert(std::to_string(i)).value = std::move(elements[i]);
    a->length = static_cast<std::int32_t>(elements.size());
    return a;
}

FunctionObject *Runtime::newNative(NativeFunction f, Object *proto)
{
    FunctionObject *fn = m_heap.make<FunctionObject>();
    if (!fn)
        throw ScriptAbort{"object limit"};
    fn->proto = protos.function;
    fn->native = std::move(f);
    if (proto) {
        define(fn, "prototype", proto, DontEnum | DontDelete);
        define(proto, "constructor", fn, DontEnum);
    }
    return fn;
}

FunctionObject *Runtime::newFunction()
{
    FunctionObject *fn = m_heap.make<FunctionObject>();
    if (!fn)
        throw ScriptAbort{"object limit"};
    fn->proto = protos.function;
    Object *prototype = newObject();
    define(prototype, "constructor", fn, DontEnum);
    define(fn, "prototype", prototype, DontEnum);
    return fn;
}

Object *Runtime::newError(const std::string &message)
{
    Object *e = newObject(protos.error);
    define(e, "message", message);
    return e;
}

std::string Runtime::limitString(std::string s)
{
    if (s.size() > Limits::kMaxStringBytes)
        throw ScriptAbort{"string length"};
    spendBytes(s.size());
    return s;
}

Value Runtime::call(const Value &function, const Value &self, std::vector<Value> &args, ThisRule rule)
{
    if (!function.isObject() || !function.asObject()->isFunction())
        return {};
    auto *f = static_cast<FunctionObject *>(function.asObject());
    spend();
    if (f->native) {
        if (m_callDepth + 1 >= maxCallDepth) // the running block is the first level
            throw ScriptAbort{"recursion"};
        ++m_callDepth;
        m_constructing = m_constructingNative;
        m_constructingNative = false;
        Value r;
        try {
            r = f->native(*this, self, args);
        } catch (...) {
            --m_callDepth;
            m_constructing = false;
            throw;
        }
        m_constructing = false;
        --m_callDepth;
        return r;
    }
    if (f->code)
        return callScript(f, self, args, f, rule);
    return {};
}

Value Runtime::callMethod(const Value &target, const std::string &name, std::vector<Value> &args)
{
    return call(getMember(target, name), target, args);
}

Value Runtime::construct(const Value &constructor, std::vector<Value> &args)
{
    if (!constructor.isObject() || !constructor.asObject()->isFunction())
        return {};
    auto *f = static_cast<FunctionObject *>(constructor.asObject());
    if (f->constructsItself) {
        m_constructingNative = true;
        Value r = call(f, Value(), args);
        m_constructingNative = false;
        return r;
    }
    Value prototype = get(f, "prototype");
    Object *o = newObject(prototype.isObject() ? prototype.asObject() : protos.object);
    define(o, "__constructor__", f, DontEnum);
    if (m_version < 7)
        define(o, "constructor", f, DontEnum);
    call(f, o, args);
    return o;
}

bool Runtime::instanceOf(const Value &v, const Value &constructor)
{
    if (!v.isObject() || !constructor.isObject())
        return false;
    Value prototype = get(constructor.asObject(), "prototype");
    if (!prototype.isObject())
        return false;
    Object *o = v.asObject()->proto;
    for (int depth = 0; o && depth < Limits::kMaxPrototypeChain; ++depth, o = o->proto) {
        if (o == prototype.asObject())
            return true;
    }
    return false;
}

void Runtime::enqueue(Priority p, QueuedAction a)
{
    m_queues[static_cast<int>(p)].push_back(std::move(a));
}

void Runtime::runQueue()
{
    m_stack.clear();
    for (;;) {
        std::deque<QueuedAction> *queue = nullptr;
        for (auto &q : m_queues) {
            if (!q.empty()) {
                queue = &q;
                break;
            }
        }
        if (!queue)
            break;
        QueuedAction a = std::move(queue->front());
        queue->pop_front();
        if (m_aborted)
            continue;
        runQueued(a);
    }
    m_stack.clear();
}

void Runtime::runQueued(const QueuedAction &a)
{
    ClipObject *const savedUnloading = unloading;
    if (a.runOnRemoved && a.clip->removed)
        unloading = a.clip;
    const bool gone = a.clip->removed || a.clip->leaving;
    contained([&] {
        if (!a.method.empty()) {
            // A handler method: looked up when it runs, skipped when the clip is gone.
            if (gone && !a.runOnRemoved)
                return;
            Value f = get(a.clip, a.method);
            std::vector<Value> none;
            call(f, a.clip, none);
        } else if (!gone || a.runOnRemoved) {
            runBlock(a.code, a.clip);
        }
    });
    unloading = savedUnloading;
    m_callDepth = 0;
}

void Runtime::reportUncaught(const Value &thrown)
{
    // Turning the value into text may run its toString, which may throw or time out too.
    try {
        warn("Uncaught exception, " + toString(thrown));
    } catch (const ScriptThrow &) {
        warn("Uncaught exception");
    } catch (const ScriptAbort &) {
        m_aborted = true;
    }
}

void Runtime::beginFrame()
{
    m_budget = Limits::kInstructionsPerFrame;
    m_aborted = false;
}

void Runtime::collectGarbage(std::vector<Object *> roots)
{
    // Few new objects may still hold many long strings: a quarter of the string
    // limit grown since the last collection is reason enough too.
    const std::size_t stringBytes = m_strings->bytes();
    if (m_heap.allocatedSinceCollect() < 10000 &&
        stringBytes < m_stringBytesAfterCollect + Limits::kMaxLiveStringBytes / 4)
        return;
    roots.push_back(m_global);
    for (Object *p : {protos.object, protos.function, protos.array, protos.string, protos.number,
                      protos.boolean, protos.error, protos.movieClip, protos.button, protos.textField})
        roots.push_back(p);
    for (ClipObject *c : liveClips)
        roots.push_back(c);
    roots.push_back(root);
    for (const auto &q : m_queues) {
        for (const QueuedAction &a : q)
            roots.push_back(a.clip);
    }
    for (const Value &v : m_stack)
        markValue(v, roots);
    m_heap.collect(roots);
    m_stringBytesAfterCollect = m_strings->bytes();
}

void Runtime::trace(const std::string &text) const
{
    if (m_host.trace)
        m_host.trace(text);
}

} // namespace velmora::swf::avm1
