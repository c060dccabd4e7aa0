#include "controls/swf/avm1/interpreter.h"

#include "controls/swf/actionreader.h"
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/bitreader.h"

#include <bit>

#include <cmath>

namespace velmora::swf::avm1 {

namespace {

// Push value types.
enum class PushType : std::uint8_t {
    String = 0,
    Float = 1,
    Null = 2,
    Undefined = 3,
    Register = 4,
    Boolean = 5,
    Double = 6,
    Integer = 7,
    Constant8 = 8,
    Constant16 = 9,
};

// Try flags.
constexpr std::uint8_t kTryHasCatch = 0x01, kTryHasFinally = 0x02, kTryCatchInRegister = 0x04;

Value pop(std::vector<Value> &stack)
{
    if (stack.empty())
        return {};
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
}

// Before SWF 6 strings are single bytes in the author's code page (Latin-1 here).
std::string decodeString(std::string raw, int version)
{
    if (version >= 6)
        return raw;
    std::string out;
    for (char c : raw)
        out += codePointToUtf8(static_cast<unsigned char>(c));
    return out;
}

struct RangeEnd {
    bool returned = false;
    std::size_t pc = 0;
};

class Machine {
public:
    explicit Machine(Activation &act) : m_act(act), m_rt(act.rt), m_stack(act.rt.stack()) {}

    Value run()
    {
        RangeEnd end = runRange(0, 0, m_act.code.size());
        (void)end;
        return m_returnValue;
    }

private:
    Value &reg(std::size_t i);
    RangeEnd runRange(std::size_t pc, std::size_t begin, std::size_t end);
    // Returns true when the action returned from the function.
    bool step(const ActionRecord &a, std::size_t &pc);
    void push(const ActionRecord &a);
    void defineFunction(const ActionRecord &a, bool version2, std::size_t &pc);
    RangeEnd runWith(const ActionRecord &a, std::size_t &pc);
    RangeEnd runTry(const ActionRecord &a, std::size_t &pc);
    void setTarget(const Value &target);
    ClipObject *clipFromStack(const Value &v);
    void callFunction();
    void callMethod();
    void newObject();
    void newMethod();
    void getUrl(const std::string &url, const std::string &target);
    void enumerate(const Value &v);
    void timelineAction(ActionCode code, const ActionRecord &a, std::size_t &pc);
    ClipObject *target();

    Activation &m_act;
    Runtime &m_rt;
    std::vector<Value> &m_stack;
    Value m_returnValue;
};

Value &Machine::reg(std::size_t i)
{
    static thread_local Value scratch;
    if (i < m_act.ownRegisters.size())
        return m_act.ownRegisters[i];
    if (m_act.outerRegisters && i < 4)
        return m_act.outerRegisters[i];
    scratch = Value();
    return scratch;
}

ClipObject *Machine::target()
{
    return m_act.target ? liveClip(m_rt, m_act.target) : nullptr;
}

RangeEnd Machine::runRange(std::size_t pc, std::size_t begin, std::size_t end)
{
    while (pc >= begin && pc < end) {
        m_rt.spend();
        auto a = readActionRecord(m_act.code, pc);
        if (!a)
            return {false, end};
        std::size_t next = a->next;
        if (a->code == ActionCode::With) {
            RangeEnd r = runWith(*a, next);
            if (r.returned)
                return r;
            pc = r.pc;
            continue;
        }
        if (a->code == ActionCode::Try) {
            RangeEnd r = runTry(*a, next);
            if (r.returned)
                return r;
            pc = r.pc;
            continue;
        }
        if (step(*a, next))
            return {true, next};
        pc = next;
    }
    return {false, pc};
}

RangeEnd Machine::runWith(const ActionRecord &a, std::size_t &pc)
{
    BitReader body(a.body);
    const std::size_t size = body.u16();
    const std::size_t begin = pc, end = std::min(pc + size, m_act.code.size());
    Value v = pop(m_stack);
    Object *o = v.isObject() ? v.asObject() : nullptr;
    if (o && o->kind() == Object::Kind::Clip)
        o = liveClip(m_rt, static_cast<ClipObject *>(o));
    if (!o && !v.isNullish())
        o = m_rt.toObject(v);
    if (!o) // with(undefined) skips its body
        return {false, end};
    if (m_act.scope.size() >= 64)
        throw ScriptAbort{"with nesting"};
    m_act.scope.push_back({o, ScopeEntry::Kind::With});
    RangeEnd r;
    try {
        r = runRange(begin, begin, end);
    } catch (...) {
        m_act.scope.pop_back();
        throw;
    }
    m_act.scope.pop_back();
    if (!r.returned && r.pc == end)
        r.pc = end;
    return r;
}

RangeEnd Machine::runTry(const ActionRecord &a, std::size_t &pc)
{
    BitReader body(a.body);
    const std::uint8_t flags = body.u8();
    const std::size_t trySize = body.u16(), catchSize = body.u16(), finallySize = body.u16();
    std::string catchName;
    std::uint8_t catchRegister = 0;
    if (flags & kTryCatchInRegister)
        catchRegister = body.u8();
    else
        catchName = decodeString(body.string(), m_act.rt.version());
    const std::size_t size = m_act.code.size();
    const std::size_t tryBegin = std::min(pc, size), catchBegin = std::min(tryBegin + trySize, size);
    const std::size_t finallyBegin = std::min(catchBegin + ((flags & kTryHasCatch) ? catchSize : 0), size);
    const std::size_t end = std::min(finallyBegin + ((flags & kTryHasFinally) ? finallySize : 0), size);
    const std::size_t stackHeight = m_stack.size();

    RangeEnd r{false, end};
    std::optional<ScriptThrow> pending;
    try {
        r = runRange(tryBegin, tryBegin, catchBegin);
    } catch (ScriptThrow &thrown) {
        m_stack.resize(std::min(m_stack.size(), stackHeight));
        if (flags & kTryHasCatch) {
            if (flags & kTryCatchInRegister)
                reg(catchRegister) = thrown.value;
            else if (m_act.locals)
                m_rt.define(m_act.locals, catchName, thrown.value);
            else
                setVariable(m_act, catchName, thrown.value);
            try {
                r = runRange(catchBegin, catchBegin, finallyBegin);
            } catch (ScriptThrow &again) {
                pending = again;
            }
        } else {
            pending = thrown;
        }
    }
    if (!r.returned && r.pc >= tryBegin && r.pc <= end)
        r.pc = finallyBegin;
    if (flags & kTryHasFinally) {
        const Value savedReturn = m_returnValue;
        RangeEnd f = runRange(finallyBegin, finallyBegin, end);
        if (f.returned) // a return in finally wins over the throw or return before it
            return f;
        if (f.pc != end)
            return f;
        m_returnValue = savedReturn;
    }
    if (pending)
        throw *pending;
    if (!r.returned && r.pc == finallyBegin)
        r.pc = end;
    return r;
}

void Machine::push(const ActionRecord &a)
{
    BitReader body(a.body);
    const int version = m_rt.version();
    while (!body.atEnd()) {
        if (m_stack.size() >= Limits::kMaxStack)
            throw ScriptAbort{"stack"};
        switch (static_cast<PushType>(body.u8())) {
        case PushType::String:
            m_stack.emplace_back(decodeString(body.string(), version));
            break;
        case PushType::Float:
            m_stack.emplace_back(static_cast<double>(std::bit_cast<float>(body.u32())));
            break;
        case PushType::Null:
            m_stack.emplace_back(Null{});
            break;
        case PushType::Undefined:
            m_stack.emplace_back();
            break;
        case PushType::Register:
            m_stack.push_back(reg(body.u8()));
            break;
        case PushType::Boolean:
            m_stack.emplace_back(body.u8() != 0);
            break;
        case PushType::Double:
            {
            // Two little-endian halves, the high one first.
            const std::uint64_t high = body.u32();
            m_stack.emplace_back(std::bit_cast<double>((high << 32) | body.u32()));
        }
            break;
        case PushType::Integer:
            m_stack.emplace_back(static_cast<double>(static_cast<std::int32_t>(body.u32())));
            break;
        case PushType::Constant8:
        case PushType::Constant16: {
            const std::size_t index = a.body[body.position() - 1] == 8 ? body.u8() : body.u16();
            if (m_act.constants && index < m_act.constants->size())
                m_stack.emplace_back((*m_act.constants)[index]);
            else
                m_stack.emplace_back();
            break;
        }
        default:
            return; // an unknown type ends the push
        }
    }
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
    } else if (ClipObject *clip = target()) {
        m_rt.set(clip, name, f);
    }
}

void Machine::setTarget(const Value &path)
{
    ClipObject *clip = nullptr;
    if (path.isObject() && path.asObject()->kind() == Object::Kind::Clip) {
        clip = static_cast<ClipObject *>(path.asObject());
    } else {
        const std::string name = m_rt.toString(path);
        if (name.empty()) {
            clip = m_act.baseClip; // tellTarget("") ends a tellTarget
        } else {
            const Value t = resolveTarget(m_act, name);
            Object *o = t.isObject() ? t.asObject() : nullptr;
            clip = o && o->kind() == Object::Kind::Clip ? static_cast<ClipObject *>(o) : nullptr;
        }
    }
    // A target that does not exist has no properties; its variables and timeline
    // actions are the root's.
    m_act.target = clip;
    for (ScopeEntry &e : m_act.scope) {
        if (e.kind == ScopeEntry::Kind::Target) {
            e.object = clip ? clip : m_rt.root;
            break;
        }
    }
}

ClipObject *Machine::clipFromStack(const Value &v)
{
    Value t = v;
    if (v.isString())
        t = v.asString().empty() ? Value(target()) : resolveTarget(m_act, v.asString());
    else if (!v.isObject())
        t = resolveTarget(m_act, m_rt.toString(v));
    Object *o = t.isObject() ? t.asObject() : nullptr;
    if (o && o->kind() == Object::Kind::Clip)
        return liveClip(m_rt, static_cast<ClipObject *>(o));
    return nullptr;
}

std::vector<Value> popArgs(std::vector<Value> &stack, Runtime &rt)
{
    const double n = rt.toNumber(pop(stack));
    std::size_t count = std::isfinite(n) && n > 0 ? static_cast<std::size_t>(n) : 0;
    count = std::min(count, stack.size());
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
    Value f = getVariable(m_act, n);
    // Called without a receiver: `this` is the object the name was found on when it
    // is a with-object, else undefined (the function picks its default).
    Value self;
    if (f.isObject() && f.asObject()->isFunction()) {
        for (auto it = m_act.scope.rbegin(); it != m_act.scope.rend(); ++it) {
            if (it->kind == ScopeEntry::Kind::With && m_rt.has(it->object, n)) {
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
    if (name.isNullish() || (name.isString() && name.asString().empty())) {
        // No method name: the object itself is the function.
        m_stack.push_back(m_rt.call(object, Value(), args));
        return;
    }
    const std::string n = m_rt.toString(name);
    Value f = m_rt.getMember(object, n);
    m_stack.push_back(m_rt.call(f, object, args));
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
    Value constructor = (name.isNullish() || (name.isString() && name.asString().empty()))
                            ? object
                            : m_rt.getMember(object, m_rt.toString(name));
    m_stack.push_back(m_rt.construct(constructor, args));
}

void Machine::getUrl(const std::string &url, const std::string &window)
{
    if (m_rt.host().getUrl)
        m_rt.host().getUrl(url, window);
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

bool Machine::step(const ActionRecord &a, std::size_t &pc)
{
    if (runOperator(m_act, a.code, m_stack))
        return false;
    const int version = m_rt.version();
    switch (a.code) {
    case ActionCode::Push:
        push(a);
        break;
    case ActionCode::Pop:
        pop(m_stack);
        break;
    case ActionCode::PushDuplicate: {
        Value v = m_stack.empty() ? Value() : m_stack.back();
        m_stack.push_back(std::move(v));
        break;
    }
    case ActionCode::StackSwap: {
        Value b = pop(m_stack), c = pop(m_stack);
        m_stack.push_back(std::move(b));
        m_stack.push_back(std::move(c));
        break;
    }
    case ActionCode::ConstantPool: {
        BitReader body(a.body);
        auto pool = std::make_shared<std::vector<std::string>>();
        const int count = body.u16();
        for (int i = 0; i < count && !body.atEnd(); ++i)
            pool->push_back(decodeString(body.string(), version));
        m_act.constants = std::move(pool);
        break;
    }
    case ActionCode::StoreRegister:
        if (!a.body.empty())
            reg(a.body[0]) = m_stack.empty() ? Value() : m_stack.back();
        break;
    case ActionCode::Jump: {
        BitReader body(a.body);
        const std::int64_t target = static_cast<std::int64_t>(pc) + body.s16();
        pc = target < 0 ? m_act.code.size() : static_cast<std::size_t>(target);
        break;
    }
    case ActionCode::If: {
        BitReader body(a.body);
        const std::int16_t offset = body.s16();
        if (m_rt.toBoolean(pop(m_stack))) {
            const std::int64_t target = static_cast<std::int64_t>(pc) + offset;
            pc = target < 0 ? m_act.code.size() : static_cast<std::size_t>(target);
        }
        break;
    }
    case ActionCode::Return:
        m_returnValue = pop(m_stack);
        return true;
    case ActionCode::Trace: {
        const Value v = pop(m_stack);
        m_rt.trace(v.isUndefined() ? std::string("undefined") : m_rt.toString(v));
        break;
    }
    case ActionCode::Throw:
        throw ScriptThrow{pop(m_stack)};
    case ActionCode::DefineFunction:
    case ActionCode::DefineFunction2:
        defineFunction(a, a.code == ActionCode::DefineFunction2, pc);
        break;
    case ActionCode::CallFunction:
        callFunction();
        break;
    case ActionCode::CallMethod:
        callMethod();
        break;
    case ActionCode::NewObject:
        newObject();
        break;
    case ActionCode::NewMethod:
        newMethod();
        break;
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
    case ActionCode::DefineLocal2: {
        const std::string name = m_rt.toString(pop(m_stack));
        if (m_act.locals) {
            if (!m_rt.hasOwn(m_act.locals, name))
                m_rt.define(m_act.locals, name, Value());
        } else if (ClipObject *clip = target()) {
            if (!m_rt.hasOwn(clip, name))
                m_rt.set(clip, name, Value());
        }
        break;
    }
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
        std::size_t count = std::isfinite(n) && n > 0 ? static_cast<std::size_t>(n) : 0;
        Object *o = m_rt.newObject();
        if (count * 2 > m_stack.size()) {
            // Fewer values than the count promises: Flash builds nothing from them.
            m_stack.clear();
            m_stack.emplace_back(o);
            break;
        }
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
    case ActionCode::TargetPath: {
        const Value v = pop(m_stack);
        Object *o = v.isObject() ? v.asObject() : nullptr;
        if (o && o->kind() == Object::Kind::Clip)
            m_stack.emplace_back(clipTargetPath(static_cast<ClipObject *>(o)));
        else
            m_stack.emplace_back();
        break;
    }
    case ActionCode::SetTarget: {
        BitReader body(a.body);
        setTarget(Value(decodeString(body.string(), version)));
        break;
    }
    case ActionCode::SetTarget2:
        setTarget(pop(m_stack));
        break;
    case ActionCode::GetProperty: {
        const double index = m_rt.toNumber(pop(m_stack));
        ClipObject *clip = clipFromStack(pop(m_stack));
        const int i = std::isfinite(index) ? static_cast<int>(index) : -1;
        if (clip && i >= 0 && i < static_cast<int>(ClipProperty::Count))
            m_stack.push_back(getClipProperty(m_rt, clip, static_cast<ClipProperty>(i)));
        else
            m_stack.emplace_back();
        break;
    }
    case ActionCode::SetProperty: {
        Value v = pop(m_stack);
        const double index = m_rt.toNumber(pop(m_stack));
        ClipObject *clip = clipFromStack(pop(m_stack));
        const int i = std::isfinite(index) ? static_cast<int>(index) : -1;
        if (clip && i >= 0 && i < static_cast<int>(ClipProperty::Count))
            setClipProperty(m_rt, clip, static_cast<ClipProperty>(i), v);
        break;
    }
    case ActionCode::CloneSprite: {
        const double depth = m_rt.toNumber(pop(m_stack));
        const std::string name = m_rt.toString(pop(m_stack));
        ClipObject *source = clipFromStack(pop(m_stack));
        if (source && std::isfinite(depth))
            cloneClip(m_rt, source, name, static_cast<int>(depth));
        break;
    }
    case ActionCode::RemoveSprite:
        if (ClipObject *clip = clipFromStack(pop(m_stack)))
            removeClip(m_rt, clip);
        break;
    case ActionCode::StartDrag: {
        ClipObject *clip = clipFromStack(pop(m_stack));
        const bool lockCenter = m_rt.toBoolean(pop(m_stack));
        const bool constrained = m_rt.toBoolean(pop(m_stack));
        double bounds[4] = {};
        if (constrained) {
            bounds[3] = m_rt.toNumber(pop(m_stack)); // y2
            bounds[2] = m_rt.toNumber(pop(m_stack)); // x2
            bounds[1] = m_rt.toNumber(pop(m_stack)); // y1
            bounds[0] = m_rt.toNumber(pop(m_stack)); // x1
        }
        if (clip)
            startDrag(m_rt, clip, lockCenter, constrained ? bounds : nullptr);
        break;
    }
    case ActionCode::EndDrag:
        stopDrag(m_rt);
        break;
    case ActionCode::GetUrl: {
        BitReader body(a.body);
        const std::string url = decodeString(body.string(), version);
        getUrl(url, decodeString(body.string(), version));
        break;
    }
    case ActionCode::GetUrl2: {
        const std::string window = m_rt.toString(pop(m_stack));
        const std::string url = m_rt.toString(pop(m_stack));
        getUrl(url, window);
        break;
    }
    case ActionCode::Call: {
        const Value frame = pop(m_stack);
        if (ClipObject *clip = target()) {
            for (Code block : clipFrameActions(m_rt, clip, frame))
                m_rt.runBlock(block, clip);
        }
        break;
    }
    case ActionCode::ToggleQuality:
    case ActionCode::StopSounds:
        break;
    default:
        timelineAction(a.code, a, pc);
        break;
    }
    return false;
}

void Machine::timelineAction(ActionCode code, const ActionRecord &a, std::size_t &pc)
{
    ClipObject *clip = m_act.target ? target() : m_rt.root;
    switch (code) {
    case ActionCode::NextFrame:
        if (clip)
            clipNextFrame(m_rt, clip);
        break;
    case ActionCode::PreviousFrame:
        if (clip)
            clipPrevFrame(m_rt, clip);
        break;
    case ActionCode::Play:
        if (clip)
            clipSetPlaying(clip, true);
        break;
    case ActionCode::Stop:
        if (clip)
            clipSetPlaying(clip, false);
        break;
    case ActionCode::GotoFrame: {
        BitReader body(a.body);
        const int frame = body.u16();
        // GotoFrame past the end of the timeline is ignored.
        if (clip && frame < clipTotalFrames(clip))
            clipGotoNumber(m_rt, clip, frame, false);
        break;
    }
    case ActionCode::GotoLabel: {
        BitReader body(a.body);
        const std::string label = decodeString(body.string(), m_rt.version());
        if (clip)
            clipGotoLabel(m_rt, clip, label, false);
        break;
    }
    case ActionCode::GotoFrame2: {
        BitReader body(a.body);
        const std::uint8_t flags = body.u8();
        const int bias = (flags & 0x02) ? body.u16() : 0;
        Value frame = pop(m_stack);
        if (!clip)
            break;
        if (frame.isNumber() && bias)
            frame = Value(frame.asNumber() + bias);
        clipGotoFrame(m_rt, clip, frame, (flags & 0x01) != 0);
        break;
    }
    case ActionCode::WaitForFrame:
    case ActionCode::WaitForFrame2: {
        BitReader body(a.body);
        Value frame;
        if (code == ActionCode::WaitForFrame)
            frame = Value(static_cast<double>(body.u16()) + 1);
        else
            frame = pop(m_stack);
        const int skip = body.u8();
        // The whole movie is loaded before it plays: a frame that exists has arrived.
        const int total = clip ? clipTotalFrames(clip) : 0;
        bool loaded = true;
        if (code == ActionCode::WaitForFrame2) {
            const double n = m_rt.toNumber(frame);
            loaded = !frame.isString() || !std::isnan(n) ? (std::isnan(n) || n <= total) : true;
        } else {
            loaded = m_rt.toNumber(frame) <= total;
        }
        if (!loaded) {
            for (int i = 0; i < skip; ++i) {
                auto next = readActionRecord(m_act.code, pc);
                if (!next)
                    break;
                pc = next->next;
            }
        }
        break;
    }
    default:
        break; // unknown actions are skipped
    }
}

} // namespace

Value execute(Activation &act)
{
    Machine machine(act);
    try {
        return machine.run();
    } catch (const TruncatedData &) {
        return {}; // an action cut short ends its block
    }
}

void Runtime::runBlock(Code code, ClipObject *clip)
{
    Activation act(*this);
    act.code = code;
    act.target = act.baseClip = clip;
    act.self = clip;
    act.scope = {{m_global, ScopeEntry::Kind::Global}, {clip, ScopeEntry::Kind::Target}};
    act.ownRegisters.resize(4);
    Value *saved = blockRegisters;
    blockRegisters = act.ownRegisters.data();
    try {
        execute(act);
    } catch (ScriptThrow &thrown) {
        blockRegisters = saved;
        warn("Uncaught exception, " + toString(thrown.value));
        return;
    } catch (...) {
        blockRegisters = saved;
        throw;
    }
    blockRegisters = saved;
}

Value Runtime::callScript(FunctionObject *f, const Value &self, std::vector<Value> &args, Object *callee)
{
    const ScriptFunctionCode &code = *f->code;
    if (m_callDepth >= maxCallDepth)
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
        if (ClipObject *live = liveClip(*this, base))
            base = live;
    }
    act.target = act.baseClip = base;
    act.self = self.isNullish() ? Value(base) : self;
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

    // The arguments object.
    ArrayObject *arguments = newArray(args);
    define(arguments, "callee", callee ? Value(callee) : Value(), DontEnum);
    define(arguments, "caller", m_caller ? Value(m_caller) : Value(Null{}), DontEnum);

    if (code.function2) {
        act.thisSuppressed = (code.flags & (SuppressThis | PreloadThis)) != 0;
        act.ownRegisters.resize(code.registerCount);
        std::size_t next = 1;
        auto preload = [&](std::uint16_t flag, const Value &v) {
            if (code.flags & flag) {
                if (next < act.ownRegisters.size())
                    act.ownRegisters[next] = v;
                ++next;
            }
        };
        ClipObject *parent = base ? base->parent : nullptr;
        preload(PreloadThis, act.self);
        preload(PreloadArguments, arguments);
        preload(PreloadSuper, Value());
        preload(PreloadRoot, root);
        preload(PreloadParent, parent ? Value(parent) : Value());
        preload(PreloadGlobal, m_global);
        if (!(code.flags & SuppressArguments) && !(code.flags & PreloadArguments))
            define(act.locals, "arguments", arguments);
        if (!(code.flags & SuppressThis) && !(code.flags & PreloadThis))
            define(act.locals, "this", act.self);
        for (std::size_t i = 0; i < code.params.size(); ++i) {
            const Value v = i < args.size() ? args[i] : Value();
            const auto r = code.params[i].reg;
            if (r != 0 && r < act.ownRegisters.size())
                act.ownRegisters[r] = v;
            else if (r == 0)
                define(act.locals, code.params[i].name, v);
        }
    } else {
        define(act.locals, "arguments", arguments);
        define(act.locals, "this", act.self);
        for (std::size_t i = 0; i < code.params.size(); ++i)
            define(act.locals, code.params[i].name, i < args.size() ? args[i] : Value());
    }

    const std::size_t stackHeight = m_stack.size();
    Object *savedCaller = m_caller;
    m_caller = callee;
    ++m_callDepth;
    Value result;
    try {
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
