// The actions on variables, objects and functions.
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/machine.h"
#include "controls/swf/bitreader.h"

#include <algorithm>
#include <cmath>

namespace velmora::swf::avm1 {

std::vector<Value> popArgs(std::vector<Value> &stack, Runtime &rt)
{
    const double n = rt.toNumber(pop(stack));
    // Held to the stack in floating point: a count past the integers is undefined to convert.
    const double held = std::min(n, static_cast<double>(stack.size()));
    const std::size_t count = std::isfinite(held) && held > 0 ? static_cast<std::size_t>(held) : 0;
    std::vector<Value> args;
    args.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        args.push_back(pop(stack));
    return args;
}

void Machine::callFunction()
{
    const Value name = pop(m_stack);
    std::vector<Value> args = popArgs(m_stack, m_rt);
    const std::string n = m_rt.toString(name);
    const FoundVariable found = findVariable(m_act, n);
    const Value &f = found.value;
    // Called without a receiver: `this` is the object a path named, or the object
    // the name was found on when it is a with-object, else undefined (the function
    // picks its default).
    Value self = found.holder;
    if (self.isUndefined() && f.isObject() && f.asObject()->isFunction()) {
        for (auto it = m_act.scope.rbegin(); it != m_act.scope.rend(); ++it) {
            if (m_rt.has(it->object, n)) {
                if (it->kind == ScopeEntry::Kind::With || it->kind == ScopeEntry::Kind::Local)
                    self = it->object;
                break;
            }
        }
        // Built-in methods called by name work on the current timeline.
        if (self.isUndefined() && static_cast<FunctionObject *>(f.asObject())->native && target())
            self = target();
    }
    m_stack.push_back(m_rt.call(f, self, args));
}

void Machine::callMethod()
{
    const Value name = pop(m_stack);
    Value object = pop(m_stack);
    std::vector<Value> args = popArgs(m_stack, m_rt);
    if (object.isObject() && object.asObject()->kind() == Object::Kind::Clip) {
        if (ClipObject *live = liveClip(m_rt, static_cast<ClipObject *>(object.asObject())))
            object = live;
    }
    // No method name (undefined, or a name that reads as ""): the object itself is
    // the function. null names the method "null".
    const std::string n = name.isUndefined() ? std::string() : m_rt.toString(name);
    if (n.empty()) {
        m_stack.push_back(m_rt.call(object, Value(), args, Runtime::ThisRule::AsGiven));
        return;
    }
    Value f = m_rt.getMember(object, n);
    m_stack.push_back(m_rt.call(f, object, args));
}

bool Machine::deleteAtPath(const std::string &path, const std::string &name)
{
    const Value owner = getVariable(m_act, path);
    if (owner.isObject())
        return m_rt.remove(owner.asObject(), name);
    // The debug player says so when the path ends at a primitive value.
    if (owner.isBool() || owner.isNumber() || owner.isString())
        m_rt.trace("Parameters of primitive types are no longer coerced into the required type - Object.");
    return false;
}

void Machine::newObject()
{
    const Value name = pop(m_stack);
    std::vector<Value> args = popArgs(m_stack, m_rt);
    Value constructor = getVariable(m_act, m_rt.toString(name));
    m_stack.push_back(m_rt.construct(constructor, args));
}

void Machine::newMethod()
{
    const Value name = pop(m_stack);
    const Value object = pop(m_stack);
    std::vector<Value> args = popArgs(m_stack, m_rt);
    const std::string n = name.isUndefined() ? std::string() : m_rt.toString(name);
    Value constructor = n.empty() ? object : m_rt.getMember(object, n);
    m_stack.push_back(m_rt.construct(constructor, args));
}

void Machine::enumerate(const Value &v)
{
    m_stack.emplace_back(); // the end marker
    Object *o = v.isObject() ? v.asObject() : nullptr;
    if (o && o->kind() == Object::Kind::Clip)
        o = liveClip(m_rt, static_cast<ClipObject *>(o));
    if (!o)
        return;
    for (std::string &k : m_rt.keys(o))
        m_stack.emplace_back(std::move(k));
}

void Machine::defineFunction(const ActionRecord &a, bool version2, std::size_t &pc)
{
    BitReader body(a.body);
    auto code = std::make_shared<ScriptFunctionCode>();
    const int version = m_rt.version();
    code->name = decodeString(body.string(), version);
    const int count = body.u16();
    code->function2 = version2;
    if (version2) {
        code->registerCount = body.u8();
        code->flags = body.u16();
    }
    for (int i = 0; i < count && !body.atEnd(); ++i) {
        ScriptFunctionCode::Parameter p;
        if (version2)
            p.reg = body.u8();
        p.name = decodeString(body.string(), version);
        code->params.push_back(std::move(p));
    }
    const std::size_t size = body.u16();
    const std::size_t begin = std::min(pc, m_act.code.size());
    const std::size_t end = std::min(begin + size, m_act.code.size());
    code->body = m_act.code.subspan(begin, end - begin);
    code->version = version;
    code->constants = m_act.constants;
    pc = end;

    FunctionObject *f = m_rt.newFunction();
    f->code = std::move(code);
    f->baseClip = m_act.baseClip;
    if (version >= 6)
        f->scope = m_act.scope; // SWF 5 functions do not close over their surroundings
    const std::string &name = f->code->name;
    if (name.empty()) {
        m_stack.emplace_back(f);
    } else if (m_act.locals) {
        m_rt.define(m_act.locals, name, f);
    } else if (name.find_first_of(":./") != std::string::npos) {
        setVariable(m_act, name, f); // "/:f" defines f on the root
    } else if (ClipObject *clip = target()) {
        m_rt.set(clip, name, f);
    }
}

// Code whose own clip left the stage during a call (or a construction) ends when
// the call returns, even where another clip took the clip's place and name; a
// method asked of something that is not an object does not count as a call.
void Machine::endIfClipRemoved() const
{
    if (m_act.baseClip && m_act.baseClip->removed)
        throw BlockEnded{};
}

// One switch over the object and function actions, a short case each: long, but read
// case by case.
bool Machine::objectAction(const ActionRecord &a)
{
    switch (a.code) {
    case ActionCode::CallFunction:
        callFunction();
        endIfClipRemoved();
        break;
    case ActionCode::CallMethod: {
        const bool onObject = m_stack.size() >= 2 && m_stack[m_stack.size() - 2].isObject();
        callMethod();
        if (onObject)
            endIfClipRemoved();
        break;
    }
    case ActionCode::NewObject:
        newObject();
        endIfClipRemoved();
        break;
    case ActionCode::NewMethod: {
        const bool onObject = m_stack.size() >= 2 && m_stack[m_stack.size() - 2].isObject();
        newMethod();
        if (onObject)
            endIfClipRemoved();
        break;
    }
    case ActionCode::GetVariable: {
        const Value name = pop(m_stack);
        m_stack.push_back(getVariable(m_act, m_rt.toString(name)));
        break;
    }
    case ActionCode::SetVariable: {
        Value v = pop(m_stack);
        const Value name = pop(m_stack);
        setVariable(m_act, m_rt.toString(name), v);
        break;
    }
    case ActionCode::DefineLocal: {
        Value v = pop(m_stack);
        const std::string name = m_rt.toString(pop(m_stack));
        if (m_act.locals)
            m_rt.define(m_act.locals, name, v);
        else
            setVariable(m_act, name, v);
        break;
    }
    case ActionCode::DefineLocal2:
        declareVariable(m_act, m_rt.toString(pop(m_stack)));
        break;
    case ActionCode::GetMember: {
        const Value name = pop(m_stack);
        const Value object = pop(m_stack);
        m_stack.push_back(m_rt.getMember(object, m_rt.toString(name)));
        break;
    }
    case ActionCode::SetMember: {
        Value v = pop(m_stack);
        const Value name = pop(m_stack);
        const Value object = pop(m_stack);
        m_rt.setMember(object, m_rt.toString(name), v);
        break;
    }
    case ActionCode::Delete: {
        const std::string name = m_rt.toString(pop(m_stack));
        const Value object = pop(m_stack);
        Object *o = object.isObject() ? object.asObject() : nullptr;
        if (o && o->kind() == Object::Kind::Clip)
            o = liveClip(m_rt, static_cast<ClipObject *>(o));
        m_stack.push_back(m_rt.boolValue(o && m_rt.remove(o, name)));
        break;
    }
    case ActionCode::Delete2: {
        const std::string name = m_rt.toString(pop(m_stack));
        // A path ("o.t.y", "o:b") deletes the last name from what the rest names.
        if (const std::size_t cut = name.find_last_of(".:"); cut != std::string::npos && cut > 0) {
            m_stack.push_back(m_rt.boolValue(deleteAtPath(name.substr(0, cut), name.substr(cut + 1))));
            break;
        }
        bool removed = false;
        for (auto it = m_act.scope.rbegin(); it != m_act.scope.rend(); ++it) {
            if (m_rt.hasOwn(it->object, name)) {
                removed = m_rt.remove(it->object, name);
                break;
            }
        }
        m_stack.push_back(m_rt.boolValue(removed));
        break;
    }
    case ActionCode::InitArray: {
        std::vector<Value> elements = popArgs(m_stack, m_rt);
        m_stack.emplace_back(m_rt.newArray(std::move(elements)));
        break;
    }
    case ActionCode::InitObject: {
        const double n = m_rt.toNumber(pop(m_stack));
        // (A count past the stack's limit promises more values than any stack holds.)
        const std::size_t count =
            n > 0 ? static_cast<std::size_t>(std::min(n, static_cast<double>(Limits::kMaxStack))) : 0;
        if (count * 2 > m_stack.size()) {
            // Fewer values than the count promises: Flash takes none of them and
            // gives undefined.
            m_stack.emplace_back();
            break;
        }
        Object *o = m_rt.newObject();
        // Properties are made in the order they are popped: the last pair first.
        for (std::size_t i = 0; i < count; ++i) {
            Value v = pop(m_stack);
            const std::string name = m_rt.toString(pop(m_stack));
            m_rt.set(o, name, v);
        }
        m_stack.emplace_back(o);
        break;
    }
    case ActionCode::Enumerate:
        enumerate(getVariable(m_act, m_rt.toString(pop(m_stack))));
        break;
    case ActionCode::Enumerate2:
        enumerate(pop(m_stack));
        break;
    default:
        return false;
    }
    return true;
}

namespace {

// What `super` names in a method: lookups that start above the object's prototype.
Value superObject(Runtime &rt, const Value &self)
{
    if (!self.isObject())
        return {};
    Object *proto = self.asObject()->proto;
    Object *o = rt.newObject();
    o->proto = proto ? proto->proto : nullptr;
    return o;
}

// DefineFunction2's registers, from 1 in Flash's order: this, arguments, super,
// _root, _parent, _global. A suppressed this or super still takes its register
// (left undefined); _parent takes one only where the timeline has a parent.
void preloadRegisters(Activation &act, const ScriptFunctionCode &code, ClipObject *base,
                      const Value &arguments, const Value &super)
{
    Runtime &rt = act.rt;
    std::size_t next = 1;
    auto preload = [&](std::uint16_t flag, std::uint16_t suppress, const Value &v) {
        if (!(code.flags & flag))
            return;
        if (next < act.ownRegisters.size())
            act.ownRegisters[next] = (code.flags & suppress) ? Value() : v;
        ++next;
    };
    preload(PreloadThis, SuppressThis, act.self);
    preload(PreloadArguments, 0, arguments);
    preload(PreloadSuper, SuppressSuper, super);
    preload(PreloadRoot, 0, rt.root);
    if (ClipObject *parent = base ? scriptParent(rt, base) : nullptr)
        preload(PreloadParent, 0, parent);
    preload(PreloadGlobal, 0, rt.global());
}

// The names a function body sees of its own: this, arguments, super and the
// parameters not kept in registers.
void defineLocals(Activation &act, const ScriptFunctionCode &code, std::vector<Value> &args,
                  const Value &arguments, const Value &super)
{
    Runtime &rt = act.rt;
    const std::uint16_t flags = code.function2 ? code.flags : 0;
    if (!(flags & (SuppressArguments | PreloadArguments)))
        rt.define(act.locals, "arguments", arguments);
    if (!(flags & (SuppressThis | PreloadThis)))
        rt.define(act.locals, "this", act.self);
    if (!(flags & (SuppressSuper | PreloadSuper)) && !super.isUndefined())
        rt.define(act.locals, "super", super);
    for (std::size_t i = 0; i < code.params.size(); ++i) {
        const Value v = i < args.size() ? args[i] : Value();
        const auto r = code.params[i].reg;
        if (r == 0)
            rt.define(act.locals, code.params[i].name, v);
        else if (r < act.ownRegisters.size())
            act.ownRegisters[r] = v;
    }
}

// Functions are an SWF 5 feature: in an SWF 4 movie they run by SWF 5's rules.
class FunctionVersion {
public:
    explicit FunctionVersion(int &version) : m_version(version), m_saved(version)
    {
        version = std::max(version, 5);
    }
    ~FunctionVersion() { m_version = m_saved; }
    FunctionVersion(const FunctionVersion &) = delete;
    FunctionVersion &operator=(const FunctionVersion &) = delete;

private:
    int &m_version;
    int m_saved;
};

} // namespace

Value Runtime::callScript(FunctionObject *f, const Value &self, std::vector<Value> &args, Object *callee,
                          ThisRule rule)
{
    const ScriptFunctionCode &code = *f->code;
    if (m_callDepth + 1 >= maxCallDepth) // the running block is the first level
        throw ScriptAbort{"recursion"};
    Activation act(*this);
    act.code = code.body;
    act.constants = code.constants;
    act.inFunction = true;
    act.callee = callee;
    ClipObject *base = f->baseClip && f->baseClip->kind() == Object::Kind::Clip
                           ? static_cast<ClipObject *>(f->baseClip)
                           : nullptr;
    if (base) {
        // A function whose clip left the stage (and has no successor at its path)
        // runs on the clip it is called on, or else on the root.
        ClipObject *live = liveClip(*this, base);
        ClipObject *selfClip = self.isObject() && self.asObject()->kind() == Object::Kind::Clip
                                   ? liveClip(*this, static_cast<ClipObject *>(self.asObject()))
                                   : nullptr;
        base = live ? live : selfClip ? selfClip : root;
    }
    act.target = act.baseClip = base;
    act.self = self.isNullish() && rule == ThisRule::TimelineWhenMissing ? Value(base) : self;
    act.locals = newObject();
    act.locals->proto = nullptr;
    if (!f->scope.empty()) {
        act.scope = f->scope;
    } else {
        act.scope.push_back({m_global, ScopeEntry::Kind::Global});
        if (base)
            act.scope.push_back({base, ScopeEntry::Kind::Target});
    }
    act.scope.push_back({act.locals, ScopeEntry::Kind::Local});
    act.outerRegisters = blockRegisters;

    ArrayObject *arguments = newArray(args);
    define(arguments, "callee", callee ? Value(callee) : Value(), DontEnum);
    define(arguments, "caller", m_caller ? Value(m_caller) : Value(Null{}), DontEnum);
    const bool superSuppressed = code.function2 && (code.flags & SuppressSuper);
    const Value super = superSuppressed ? Value() : superObject(*this, act.self);
    if (code.function2) {
        act.thisSuppressed = (code.flags & (SuppressThis | PreloadThis)) != 0;
        act.ownRegisters.resize(code.registerCount);
        preloadRegisters(act, code, base, arguments, super);
    }
    defineLocals(act, code, args, arguments, super);

    const std::size_t stackHeight = m_stack.size();
    Object *savedCaller = m_caller;
    m_caller = callee;
    ++m_callDepth;
    Value result;
    try {
        const FunctionVersion version(m_version);
        result = execute(act);
    } catch (...) {
        --m_callDepth;
        m_caller = savedCaller;
        throw;
    }
    --m_callDepth;
    m_caller = savedCaller;
    m_stack.resize(std::min(m_stack.size(), stackHeight));
    return result;
}

} // namespace velmora::swf::avm1
