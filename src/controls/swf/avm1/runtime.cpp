#include "controls/swf/avm1/runtime.h"

#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/interpreter.h"

#include <cmath>
#include <limits>
#include <set>

namespace velmora::swf::avm1 {

namespace {

constexpr int kMaxPrototypeChain = 256;

bool sameName(const Runtime &rt, const std::string &a, const char *b)
{
    return rt.version() >= 7 ? a == b : foldCase(a) == foldCase(b);
}

} // namespace

Runtime::Runtime(int swfVersion, RuntimeHost host)
    : m_version(swfVersion), m_host(std::move(host)), m_heap(swfVersion >= 7)
{
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

std::string Runtime::limitString(std::string s) const
{
    if (s.size() > Limits::kMaxStringBytes)
        throw ScriptAbort{"string length"};
    return s;
}

Value Runtime::boolValue(bool b) const
{
    return b;
}

Value Runtime::toPrimitive(const Value &v, bool preferString)
{
    if (!v.isObject())
        return v;
    Object *o = v.asObject();
    if (o->kind() == Object::Kind::Clip)
        return preferString ? Value(clipString(*this, static_cast<ClipObject *>(o))) : v;
    std::vector<Value> none;
    if (preferString)
        return toString(v);
    // valueOf alone: when it gives an object, the object itself stays (and adds as NaN).
    Value r = callMethod(v, "valueOf", none);
    return r.isObject() ? v : r;
}

double Runtime::toNumber(const Value &v)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    switch (v.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null:
        return m_version >= 7 ? nan : 0.0;
    case Value::Type::Boolean:
        return v.asBool() ? 1.0 : 0.0;
    case Value::Type::Number:
        return v.asNumber();
    case Value::Type::String:
        return stringToNumber(v.asString(), m_version);
    case Value::Type::Object: {
        if (v.asObject()->kind() == Object::Kind::Clip)
            return nan;
        std::vector<Value> none;
        Value r = callMethod(v, "valueOf", none);
        // SWF 4 has no NaN for what is not a number: an object reads as 0 there.
        if (r.isObject())
            return m_version <= 4 ? 0.0 : nan;
        return toNumber(r);
    }
    }
    return nan;
}

std::string Runtime::toString(const Value &v)
{
    switch (v.type()) {
    case Value::Type::Undefined:
        return m_version >= 7 ? "undefined" : "";
    case Value::Type::Null:
        return "null";
    case Value::Type::Boolean:
        if (m_version < 5)
            return v.asBool() ? "1" : "0";
        return v.asBool() ? "true" : "false";
    case Value::Type::Number:
        return numberToString(v.asNumber());
    case Value::Type::String:
        return v.asString();
    case Value::Type::Object: {
        Object *o = v.asObject();
        if (o->kind() == Object::Kind::Clip)
            return clipString(*this, static_cast<ClipObject *>(o));
        Value f = get(o, "toString");
        if (f.isObject() && f.asObject()->isFunction()) {
            std::vector<Value> none;
            Value r = call(f, v, none);
            if (r.isString())
                return r.asString();
        }
        return o->isFunction() ? "[type Function]" : "[type Object]";
    }
    }
    return {};
}

bool Runtime::toBoolean(const Value &v) const
{
    switch (v.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null:
        return false;
    case Value::Type::Boolean:
        return v.asBool();
    case Value::Type::Number:
        return v.asNumber() != 0 && !std::isnan(v.asNumber());
    case Value::Type::String: {
        if (m_version >= 7)
            return !v.asString().empty();
        const double n = stringToNumber(v.asString(), m_version);
        return n != 0 && !std::isnan(n);
    }
    case Value::Type::Object:
        return true;
    }
    return false;
}

Object *Runtime::toObject(const Value &v)
{
    switch (v.type()) {
    case Value::Type::Object:
        return v.asObject();
    case Value::Type::Boolean:
    case Value::Type::Number:
    case Value::Type::String: {
        BoxedObject *b = m_heap.make<BoxedObject>(v);
        if (!b)
            throw ScriptAbort{"object limit"};
        b->proto = v.isString() ? protos.string : v.isNumber() ? protos.number : protos.boolean;
        return b;
    }
    default:
        return nullptr;
    }
}

std::string Runtime::typeOf(const Value &v) const
{
    switch (v.type()) {
    case Value::Type::Undefined:
        return "undefined";
    case Value::Type::Null:
        return "null";
    case Value::Type::Boolean:
        return "boolean";
    case Value::Type::Number:
        return "number";
    case Value::Type::String:
        return "string";
    case Value::Type::Object: {
        Object *o = v.asObject();
        if (o->kind() == Object::Kind::Clip)
            return static_cast<ClipObject *>(o)->isButton ? "object" : "movieclip";
        return o->isFunction() ? "function" : "object";
    }
    }
    return "undefined";
}

Value Runtime::get(Object *o, const std::string &name)
{
    if (!o)
        return {};
    if (o->kind() == Object::Kind::Clip)
        o = liveClip(*this, static_cast<ClipObject *>(o)) ? liveClip(*this, static_cast<ClipObject *>(o)) : o;
    Object *self = o;
    for (int depth = 0; o && depth < kMaxPrototypeChain; ++depth, o = o->proto) {
        if ((o->kind() == Object::Kind::Array || o->kind() == Object::Kind::Arguments) &&
            sameName(*this, name, "length"))
            return static_cast<ArrayObject *>(o)->length;
        if (const Property *p = o->props.find(name)) {
            if (p->getter) {
                std::vector<Value> none;
                return call(p->getter, self, none);
            }
            return p->value;
        }
        // A String object made by `new` has its own length property (scripts may
        // change it); one made for a method call reads its string's length.
        if (o->kind() == Object::Kind::Boxed && sameName(*this, name, "length")) {
            const Value &p = static_cast<BoxedObject *>(o)->primitive;
            if (p.isString())
                return static_cast<double>(toUtf16(p.asString()).size());
        }
        if (o == self && o->kind() == Object::Kind::Clip) {
            Value out;
            if (getClipSpecial(*this, static_cast<ClipObject *>(o), name, out))
                return out;
        }
        if (depth == 0 && sameName(*this, name, "__proto__"))
            return o->proto ? Value(o->proto) : Value();
    }
    return {};
}

Value Runtime::getMember(const Value &target, const std::string &name)
{
    if (target.isObject())
        return get(target.asObject(), name);
    if (target.isString()) {
        if (name == "length")
            return static_cast<double>(toUtf16(target.asString()).size());
        return get(protos.string, name);
    }
    if (target.isNumber())
        return get(protos.number, name);
    if (target.isBool())
        return get(protos.boolean, name);
    return {};
}

void Runtime::set(Object *o, const std::string &name, const Value &v)
{
    if (!o)
        return;
    if (o->kind() == Object::Kind::Clip) {
        ClipObject *live = liveClip(*this, static_cast<ClipObject *>(o));
        if (!live)
            return;
        o = live;
        if (!o->props.find(name) && setClipSpecial(*this, static_cast<ClipObject *>(o), name, v))
            return;
    }
    if (o->kind() == Object::Kind::Array || o->kind() == Object::Kind::Arguments) {
        auto *a = static_cast<ArrayObject *>(o);
        if (sameName(*this, name, "length")) {
            setArrayLength(a, toInt32(toNumber(v)));
            return;
        }
        noteArrayWrite(a, name);
    }
    if (sameName(*this, name, "__proto__") && !o->props.find(name)) {
        o->proto = v.isObject() ? v.asObject() : nullptr;
        return;
    }
    // A virtual property anywhere along the chain takes the assignment.
    Object *p = o;
    for (int depth = 0; p && depth < kMaxPrototypeChain; ++depth, p = p->proto) {
        if (Property *prop = p->props.find(name)) {
            if (prop->setter || prop->getter) {
                if (prop->setter) {
                    std::vector<Value> args{v};
                    call(prop->setter, o, args);
                }
                return;
            }
            break;
        }
    }
    Property *own = o->props.find(name);
    if (own) {
        if (!(own->flags & ReadOnly))
            own->value = v;
        return;
    }
    if (o->props.size() >= Limits::kMaxProperties)
        throw ScriptAbort{"property limit"};
    o->props.insert(name).value = v;
}

void Runtime::setMember(const Value &target, const std::string &name, const Value &v)
{
    if (target.isObject())
        set(target.asObject(), name, v);
}

bool Runtime::hasOwn(Object *o, const std::string &name)
{
    if (!o)
        return false;
    if ((o->kind() == Object::Kind::Array || o->kind() == Object::Kind::Arguments) &&
        sameName(*this, name, "length"))
        return true;
    if (o->kind() == Object::Kind::Boxed && static_cast<BoxedObject *>(o)->primitive.isString() &&
        sameName(*this, name, "length"))
        return true;
    if (o->props.find(name))
        return true;
    if (o->kind() == Object::Kind::Clip) {
        Value out;
        return getClipSpecial(*this, static_cast<ClipObject *>(o), name, out);
    }
    return false;
}

bool Runtime::has(Object *o, const std::string &name)
{
    for (int depth = 0; o && depth < kMaxPrototypeChain; ++depth, o = o->proto) {
        if (hasOwn(o, name))
            return true;
    }
    return false;
}

bool Runtime::remove(Object *o, const std::string &name)
{
    if (!o)
        return false;
    Property *p = o->props.find(name);
    if (!p)
        return false;
    if (p->flags & DontDelete)
        return false;
    return o->props.remove(name);
}

void Runtime::define(Object *o, const std::string &name, const Value &v, std::uint8_t flags)
{
    if (!o)
        return;
    if (o->kind() == Object::Kind::Array || o->kind() == Object::Kind::Arguments)
        noteArrayWrite(static_cast<ArrayObject *>(o), name);
    Property &p = o->props.insert(name);
    p.value = v;
    p.getter = p.setter = nullptr;
    p.flags = flags;
}

void Runtime::defineMethod(Object *o, const std::string &name, NativeFunction f, std::uint8_t flags)
{
    define(o, name, newNative(std::move(f)), flags);
}

std::vector<std::string> Runtime::keys(Object *o)
{
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (int depth = 0; o && depth < kMaxPrototypeChain; ++depth, o = o->proto) {
        std::vector<std::string> level;
        o->props.forEach([&](const Property &p) {
            if (!(p.flags & DontEnum))
                level.push_back(p.name);
            else
                seen.insert(m_version >= 7 ? p.name : foldCase(p.name));
        });
        if (o->kind() == Object::Kind::Clip)
            clipChildNames(*this, static_cast<ClipObject *>(o), level);
        // Newest first: for-in pops what Enumerate pushed, so push oldest first.
        for (auto &k : level) {
            if (seen.insert(m_version >= 7 ? k : foldCase(k)).second)
                out.push_back(std::move(k));
        }
    }
    return out;
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
    for (int depth = 0; o && depth < kMaxPrototypeChain; ++depth, o = o->proto) {
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
    try {
        if (!a.method.empty()) {
            // A handler method: looked up when it runs, skipped when the clip is gone.
            if (a.clip->removed && !a.runOnRemoved)
                return;
            Value f = get(a.clip, a.method);
            std::vector<Value> none;
            call(f, a.clip, none);
        } else if (!a.clip->removed || a.runOnRemoved) {
            runBlock(a.code, a.clip);
        }
    } catch (ScriptThrow &thrown) {
        warn("Uncaught exception, " + toString(thrown.value));
    } catch (ScriptAbort &) {
        // Flash's script time-out: every script stops for the rest of the frame.
        m_aborted = true;
    }
    unloading = savedUnloading;
    m_callDepth = 0;
}

void Runtime::beginFrame()
{
    m_budget = Limits::kInstructionsPerFrame;
    m_aborted = false;
}

void Runtime::spend(long instructions)
{
    m_budget -= instructions;
    if (m_budget < 0)
        throw ScriptAbort{"instruction budget"};
}

void Runtime::collectGarbage(std::vector<Object *> roots)
{
    if (m_heap.allocatedSinceCollect() < 10000)
        return;
    roots.push_back(m_global);
    for (Object *p : {protos.object, protos.function, protos.array, protos.string, protos.number,
                      protos.boolean, protos.error, protos.movieClip, protos.button})
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
}

void Runtime::trace(const std::string &text) const
{
    if (m_host.trace)
        m_host.trace(text);
}

} // namespace velmora::swf::avm1
