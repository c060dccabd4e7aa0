// Conversions between script values with Flash's rules for the movie's version;
// objects convert through their own valueOf and toString.
#include "controls/swf/avm1/runtime.h"

#include "controls/swf/avm1/clipobject.h"

#include <cmath>
#include <limits>

namespace velmora::swf::avm1 {

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
        spendBytes(v.asString().size());
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
        spendBytes(v.asString().size());
        return v.asString();
    case Value::Type::Object: {
        Object *o = v.asObject();
        if (o->kind() == Object::Kind::Clip)
            return clipString(*this, static_cast<ClipObject *>(o));
        Value f = get(o, "toString");
        if (f.isObject() && f.asObject()->isFunction()) {
            std::vector<Value> none;
            Value r = call(f, v, none);
            if (r.isString()) {
                spendBytes(r.asString().size());
                return r.asString();
            }
        }
        return o->isFunction() ? "[type Function]" : "[type Object]";
    }
    }
    return {};
}

bool Runtime::toBoolean(const Value &v)
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
        spendBytes(v.asString().size());
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
            return static_cast<ClipObject *>(o)->isMovieClip() ? "movieclip" : "object";
        return o->isFunction() ? "function" : "object";
    }
    }
    return "undefined";
}

} // namespace velmora::swf::avm1
