#include "controls/swf/avm1/interpreter.h"

#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/machine.h"
#include "controls/swf/avm1/paths.h"
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

} // namespace

Value pop(std::vector<Value> &stack)
{
    if (stack.empty())
        return {};
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
}

std::string decodeString(std::string raw, int version)
{
    if (version >= 6)
        return raw;
    std::string out;
    for (char c : raw)
        out += codePointToUtf8(static_cast<unsigned char>(c));
    return out;
}

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
    return m_act.target && !m_act.targetLost ? currentTarget(m_act) : nullptr;
}

ClipObject *Machine::timelineClip()
{
    if (m_act.targetLost)
        return nullptr;
    return m_act.target ? currentTarget(m_act) : m_rt.root;
}

RangeEnd Machine::runRange(std::size_t pc, std::size_t begin, std::size_t end)
{
    while (pc >= begin && pc < end) {
        m_rt.spend();
        auto a = readActionRecord(m_act.code, pc);
        if (!a)
            return {false, end};
        m_rt.spendBytes(a->body.size()); // a push or constant pool copies its strings
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
        case PushType::Double: {
            // Two little-endian halves, the high one first.
            const std::uint64_t high = body.u32();
            m_stack.emplace_back(std::bit_cast<double>((high << 32) | body.u32()));
        } break;
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

bool Machine::step(const ActionRecord &a, std::size_t &pc)
{
    if (a.code == ActionCode::Return) {
        m_returnValue = pop(m_stack);
        return true;
    }
    if (!runOperator(m_act, a.code, m_stack) && !objectAction(a) && !clipAction(a))
        stackAction(a, pc);
    return false;
}

void Machine::stackAction(const ActionRecord &a, std::size_t &pc)
{
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
        auto pool = std::make_shared<std::vector<Value>>();
        const int count = body.u16();
        for (int i = 0; i < count && !body.atEnd(); ++i)
            pool->emplace_back(decodeString(body.string(), version));
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
    default:
        timelineAction(a, pc);
        break;
    }
}

Value execute(Activation &act)
{
    Machine machine(act);
    try {
        return machine.run();
    } catch (const TruncatedData &) {
        return {}; // an action cut short ends its block
    } catch (const BlockEnded &) {
        return {};
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

void Runtime::callBlock(Code code, ClipObject *clip)
{
    if (m_callDepth + 1 >= maxCallDepth) // the running block is the first level
        throw ScriptAbort{"recursion"};
    ++m_callDepth;
    try {
        runBlock(code, clip);
    } catch (...) {
        --m_callDepth;
        throw;
    }
    --m_callDepth;
}

} // namespace velmora::swf::avm1
