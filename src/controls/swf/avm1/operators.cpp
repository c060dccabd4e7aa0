// The actions that pop operands and push a result, with each SWF version's
// conversions.
#include "controls/swf/avm1/clipobject.h"
#include "controls/swf/avm1/interpreter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>

namespace velmora::swf::avm1 {

namespace {

std::mt19937 &randomEngine()
{
    static std::mt19937 engine{std::random_device{}()};
    return engine;
}

double millisecondsSinceStart()
{
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

// SWF 4's StringExtract and MBStringExtract: 1-based index, negative count = rest.
std::string extract(const std::string &s, double index, double count)
{
    std::u16string units = toUtf16(s);
    const auto size = static_cast<double>(units.size());
    double start = std::isnan(index) ? 0 : std::trunc(index) - 1;
    start = std::clamp(start, 0.0, size);
    double n = std::isnan(count) ? 0 : std::trunc(count);
    if (n < 0 || start + n > size)
        n = size - start;
    return fromUtf16(units.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(n)));
}

double bitOperation(ActionCode code, std::int32_t a, std::int32_t b, int version)
{
    switch (code) {
    case ActionCode::BitAnd:
        return a & b;
    case ActionCode::BitOr:
        return a | b;
    case ActionCode::BitXor:
        return a ^ b;
    case ActionCode::BitLShift:
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << (b & 31));
    case ActionCode::BitRShift:
        return a >> (b & 31);
    default: { // BitURShift
        const std::uint32_t r = static_cast<std::uint32_t>(a) >> (b & 31);
        // Up to SWF 8 the result stays a signed integer: -1 >>> 0 is -1 there.
        return version <= 8 ? static_cast<double>(static_cast<std::int32_t>(r)) : static_cast<double>(r);
    }
    }
}

void extends(Runtime &rt, const Value &subclass, const Value &superclass)
{
    if (!subclass.isObject() || !superclass.isObject())
        return;
    Object *proto = rt.newObject();
    proto->proto = rt.toObject(rt.get(superclass.asObject(), "prototype"));
    rt.define(proto, "__constructor__", superclass, DontEnum);
    rt.define(proto, "constructor", superclass, DontEnum);
    rt.set(subclass.asObject(), "prototype", proto);
}

// The same object; two references to a clip are equal while they name the same live clip.
bool equalObjects(Runtime &rt, Object *a, Object *b)
{
    if (a->kind() == Object::Kind::Clip && b->kind() == Object::Kind::Clip)
        return liveClip(rt, static_cast<ClipObject *>(a)) == liveClip(rt, static_cast<ClipObject *>(b));
    return a == b;
}

} // namespace

Value add2(Runtime &rt, const Value &a, const Value &b)
{
    const Value pb = rt.toPrimitive(b);
    const Value pa = rt.toPrimitive(a);
    if (pa.isString() || pb.isString()) {
        const std::string x = rt.toString(pa);
        return rt.limitString(x + rt.toString(pb));
    }
    const double x = rt.toNumber(pa);
    return x + rt.toNumber(pb);
}

Value less2(Runtime &rt, const Value &a, const Value &b)
{
    const Value pa = rt.toPrimitive(a);
    const Value pb = rt.toPrimitive(b);
    if (pa.isString() && pb.isString()) {
        rt.spendBytes(pa.asString().size() + pb.asString().size());
        return compareStrings(pa.asString(), pb.asString()) < 0;
    }
    const double x = rt.toNumber(pa), y = rt.toNumber(pb);
    if (std::isnan(x) || std::isnan(y))
        return {};
    return x < y;
}

bool strictEquals(Runtime &rt, const Value &a, const Value &b)
{
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null:
        return true;
    case Value::Type::Boolean:
        return a.asBool() == b.asBool();
    case Value::Type::Number:
        // Flash finds NaN strictly equal to NaN.
        return a.asNumber() == b.asNumber() || (std::isnan(a.asNumber()) && std::isnan(b.asNumber()));
    case Value::Type::String:
        if (a.asString().size() != b.asString().size())
            return false;
        rt.spendBytes(a.asString().size());
        return a.asString() == b.asString();
    case Value::Type::Object:
        return a.asObject() == b.asObject();
    }
    return false;
}

bool equals2(Runtime &rt, const Value &a, const Value &b)
{
    using T = Value::Type;
    if (rt.version() <= 5 && (a.isObject() || b.isObject())) {
        // SWF 5 compares what valueOf gives: two Number objects of 1 are equal, and an
        // object without valueOf equals undefined.
        const Value pa = rt.toPrimitive(a), pb = rt.toPrimitive(b);
        if (pa.isObject() && pb.isObject())
            return equalObjects(rt, pa.asObject(), pb.asObject());
        if (!pa.isObject() && !pb.isObject())
            return equals2(rt, pa, pb);
        return false;
    }
    if (a.type() == b.type()) {
        if (a.isObject())
            return equalObjects(rt, a.asObject(), b.asObject());
        return strictEquals(rt, a, b);
    }
    if (a.isNullish() && b.isNullish())
        return true;
    if (a.isNullish() || b.isNullish())
        return false;
    if ((a.type() == T::Number && b.type() == T::String) || (a.type() == T::String && b.type() == T::Number))
        return rt.toNumber(a) == rt.toNumber(b);
    if (a.isBool())
        return equals2(rt, Value(a.asBool() ? 1.0 : 0.0), b);
    if (b.isBool())
        return equals2(rt, a, Value(b.asBool() ? 1.0 : 0.0));
    if (a.isObject() && !b.isObject()) {
        const Value p = rt.toPrimitive(a);
        return !p.isObject() && equals2(rt, p, b);
    }
    if (b.isObject() && !a.isObject()) {
        const Value p = rt.toPrimitive(b);
        return !p.isObject() && equals2(rt, a, p);
    }
    return false;
}

// One switch over the operator actions, a short case each: long, but read case by case,
// and split it would only scatter the stack handling they share.
bool runOperator(Activation &act, ActionCode code, std::vector<Value> &stack)
{
    Runtime &rt = act.rt;
    const int version = rt.version();
    switch (code) {
    case ActionCode::Add:
    case ActionCode::Subtract:
    case ActionCode::Multiply:
    case ActionCode::Divide:
    case ActionCode::Modulo: {
        const Value b = pop(stack), a = pop(stack);
        // Flash converts the right operand first where the order matters to the result.
        const bool rightFirst = code == ActionCode::Subtract || code == ActionCode::Divide;
        double x = 0, y = 0;
        if (rightFirst) {
            y = rt.toNumber(b);
            x = rt.toNumber(a);
        } else {
            x = rt.toNumber(a);
            y = rt.toNumber(b);
        }
        double r = 0;
        if (code == ActionCode::Add) {
            r = x + y;
        } else if (code == ActionCode::Subtract) {
            r = x - y;
        } else if (code == ActionCode::Multiply) {
            r = x * y;
        } else if (code == ActionCode::Modulo) {
            r = std::fmod(x, y);
        } else {
            if (y == 0 && version < 5) {
                stack.emplace_back("#ERROR#");
                return true;
            }
            r = x / y;
        }
        stack.emplace_back(r);
        return true;
    }
    case ActionCode::Equals: {
        const Value b = pop(stack), a = pop(stack);
        double y = rt.toNumber(b), x = rt.toNumber(a);
        if (version < 5) {
            // SWF 4 compares NaN and the infinities as 0.
            x = std::isfinite(x) ? x : 0;
            y = std::isfinite(y) ? y : 0;
        }
        stack.push_back(rt.boolValue(x == y));
        return true;
    }
    case ActionCode::Less: {
        const Value b = pop(stack), a = pop(stack);
        double x = rt.toNumber(a), y = rt.toNumber(b);
        if (version < 5) {
            // SWF 4 orders NaN and the infinities as 0, as Equals compares them.
            x = std::isfinite(x) ? x : 0;
            y = std::isfinite(y) ? y : 0;
        }
        // Unordered operands are simply not less (Less2 is the one that says undefined).
        stack.push_back(rt.boolValue(x < y));
        return true;
    }
    case ActionCode::And:
    case ActionCode::Or: {
        const Value b = pop(stack), a = pop(stack);
        const bool x = rt.toBoolean(a), y = rt.toBoolean(b);
        stack.push_back(rt.boolValue(code == ActionCode::And ? (x && y) : (x || y)));
        return true;
    }
    case ActionCode::Not:
        stack.push_back(rt.boolValue(!rt.toBoolean(pop(stack))));
        return true;
    case ActionCode::StringEquals:
    case ActionCode::StringLess:
    case ActionCode::StringGreater: {
        const Value b = pop(stack), a = pop(stack);
        const std::string y = rt.toString(b), x = rt.toString(a);
        const bool r = code == ActionCode::StringEquals ? x == y
                       : code == ActionCode::StringLess ? compareStrings(x, y) < 0
                                                        : compareStrings(x, y) > 0;
        stack.push_back(rt.boolValue(r));
        return true;
    }
    case ActionCode::StringLength:
    case ActionCode::MbStringLength:
        stack.emplace_back(static_cast<double>(toUtf16(rt.toString(pop(stack))).size()));
        return true;
    case ActionCode::StringExtract:
    case ActionCode::MbStringExtract: {
        const double count = rt.toNumber(pop(stack)), index = rt.toNumber(pop(stack));
        stack.emplace_back(extract(rt.toString(pop(stack)), index, count));
        return true;
    }
    case ActionCode::StringAdd: {
        const Value b = pop(stack), a = pop(stack);
        const std::string y = rt.toString(b);
        stack.emplace_back(rt.limitString(rt.toString(a) + y));
        return true;
    }
    case ActionCode::ToInteger:
        stack.emplace_back(static_cast<double>(toInt32(rt.toNumber(pop(stack)))));
        return true;
    case ActionCode::CharToAscii:
    case ActionCode::MbCharToAscii: {
        const std::u16string s = toUtf16(rt.toString(pop(stack)));
        stack.emplace_back(s.empty() ? 0.0 : static_cast<double>(s[0]));
        return true;
    }
    case ActionCode::AsciiToChar:
    case ActionCode::MbAsciiToChar: {
        const auto c = static_cast<std::uint32_t>(toInt32(rt.toNumber(pop(stack)))) & 0xFFFF;
        stack.emplace_back(c == 0 ? std::string() : codePointToUtf8(c));
        return true;
    }
    case ActionCode::RandomNumber: {
        const std::int32_t max = toInt32(rt.toNumber(pop(stack)));
        if (max <= 0) {
            stack.emplace_back(0.0);
        } else {
            std::uniform_int_distribution<std::int32_t> d(0, max - 1);
            stack.emplace_back(static_cast<double>(d(randomEngine())));
        }
        return true;
    }
    case ActionCode::GetTime:
        stack.emplace_back(millisecondsSinceStart());
        return true;
    case ActionCode::TypeOf:
        stack.emplace_back(rt.typeOf(pop(stack)));
        return true;
    case ActionCode::Add2: {
        const Value b = pop(stack), a = pop(stack);
        stack.push_back(add2(rt, a, b));
        return true;
    }
    case ActionCode::Less2: {
        const Value b = pop(stack), a = pop(stack);
        stack.push_back(less2(rt, a, b));
        return true;
    }
    case ActionCode::Greater: {
        const Value b = pop(stack), a = pop(stack);
        stack.push_back(less2(rt, b, a));
        return true;
    }
    case ActionCode::Equals2: {
        const Value b = pop(stack), a = pop(stack);
        stack.push_back(rt.boolValue(equals2(rt, a, b)));
        return true;
    }
    case ActionCode::StrictEquals: {
        const Value b = pop(stack), a = pop(stack);
        stack.emplace_back(strictEquals(rt, a, b));
        return true;
    }
    case ActionCode::ToNumber:
        stack.emplace_back(rt.toNumber(pop(stack)));
        return true;
    case ActionCode::ToString:
        stack.emplace_back(rt.toString(pop(stack)));
        return true;
    case ActionCode::Increment:
        stack.emplace_back(rt.toNumber(pop(stack)) + 1);
        return true;
    case ActionCode::Decrement:
        stack.emplace_back(rt.toNumber(pop(stack)) - 1);
        return true;
    case ActionCode::InstanceOf: {
        const Value constructor = pop(stack), object = pop(stack);
        stack.emplace_back(rt.instanceOf(object, constructor));
        return true;
    }
    case ActionCode::CastOp: {
        const Value object = pop(stack), constructor = pop(stack);
        stack.push_back(rt.instanceOf(object, constructor) ? object : Value(Null{}));
        return true;
    }
    case ActionCode::ImplementsOp: {
        pop(stack); // the class
        const double n = rt.toNumber(pop(stack));
        const std::size_t count =
            n > 0 ? static_cast<std::size_t>(std::min(n, static_cast<double>(Limits::kMaxStack))) : 0;
        for (std::size_t i = 0; i < count && !stack.empty(); ++i)
            pop(stack);
        return true;
    }
    case ActionCode::Extends: {
        const Value superclass = pop(stack), subclass = pop(stack);
        extends(rt, subclass, superclass);
        return true;
    }
    case ActionCode::BitAnd:
    case ActionCode::BitOr:
    case ActionCode::BitXor:
    case ActionCode::BitLShift:
    case ActionCode::BitRShift:
    case ActionCode::BitURShift: {
        const Value b = pop(stack), a = pop(stack);
        const std::int32_t x = toInt32(rt.toNumber(a)), y = toInt32(rt.toNumber(b));
        stack.emplace_back(bitOperation(code, x, y, version));
        return true;
    }
    default:
        return false;
    }
}

} // namespace velmora::swf::avm1
