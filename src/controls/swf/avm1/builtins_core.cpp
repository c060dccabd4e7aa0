// Object, Function, Boolean, Number, Error, Math and the global functions.
#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/builtins.h"
#include "controls/swf/avm1/clipobject.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

namespace velmora::swf::avm1 {

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

Object *thisObject(const Value &self)
{
    return self.isObject() ? self.asObject() : nullptr;
}

// ASSetPropFlags(object, names, set, clear): names is a comma list, an array or null (all).
Value setPropFlags(Runtime &rt, const Value &, std::vector<Value> &args)
{
    Object *o = thisObject(arg(args, 0));
    if (!o)
        return {};
    const Value names = arg(args, 1);
    const auto set = static_cast<std::uint8_t>(toInt32(rt.toNumber(arg(args, 2))) & 7);
    const auto clear = static_cast<std::uint8_t>(toInt32(rt.toNumber(arg(args, 3))) & 7);
    std::vector<std::string> list;
    if (names.isString()) {
        const std::string &s = names.asString();
        rt.spendBytes(s.size());
        std::size_t start = 0;
        while (start <= s.size()) {
            const std::size_t comma = s.find(',', start);
            list.push_back(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    } else if (names.isObject() && names.asObject()->kind() == Object::Kind::Array) {
        for (const Value &v : arrayElements(rt, names.asObject()))
            list.push_back(rt.toString(v));
    }
    auto apply = [&](Property &p) { p.flags = static_cast<std::uint8_t>((p.flags & ~clear) | set); };
    if (names.isNull() ||
        (names.isObject() && list.empty() && names.asObject()->kind() != Object::Kind::Array)) {
        o->props.forEachMutable(apply);
    } else {
        for (const std::string &n : list) {
            if (Property *p = o->props.find(n))
                apply(*p);
        }
    }
    return {};
}

Value addProperty(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    Object *o = thisObject(self);
    const std::string name = rt.toString(arg(args, 0));
    const Value getter = arg(args, 1), setter = arg(args, 2);
    if (!o || name.empty() || !getter.isObject() || !getter.asObject()->isFunction())
        return false;
    Property &p = o->props.insert(name);
    p.value = Value();
    p.getter = getter.asObject();
    p.setter = setter.isObject() && setter.asObject()->isFunction() ? setter.asObject() : nullptr;
    return true;
}

Value functionApply(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    std::vector<Value> list;
    const Value array = arg(args, 1);
    if (array.isObject()) {
        const double n = rt.toNumber(rt.get(array.asObject(), "length"));
        const std::size_t count =
            n > 0 ? static_cast<std::size_t>(std::min(n, static_cast<double>(Limits::kMaxArrayLength))) : 0;
        for (std::size_t i = 0; i < count; ++i)
            list.push_back(rt.get(array.asObject(), std::to_string(i)));
    }
    const Value thisArg = arg(args, 0);
    return rt.call(self, thisArg.isNullish() ? Value(rt.global()) : thisArg, list);
}

Value functionCall(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    std::vector<Value> rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
    const Value thisArg = arg(args, 0);
    return rt.call(self, thisArg.isNullish() ? Value(rt.global()) : thisArg, rest);
}

Value primitiveOf(const Value &self)
{
    if (self.isObject() && self.asObject()->kind() == Object::Kind::Boxed)
        return static_cast<BoxedObject *>(self.asObject())->primitive;
    return self;
}

// Number and Boolean: called plainly they convert, with `new` they box.
Value boxOrConvert(Runtime &rt, Value converted)
{
    if (!rt.constructing())
        return converted;
    return rt.toObject(converted);
}

std::string escape(const std::string &s)
{
    static const char *hex = "0123456789ABCDEF";
    std::string out;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// %XX escapes become bytes and '+' a space; a '%' not followed by two hex digits
// is dropped with the characters that started to form one ("%4z" goes, "z" of
// "%zz" stays). Before SWF 6 the bytes are characters of Latin-1.
std::string unescape(const std::string &s, int version)
{
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    auto byte = [version](std::string &out, unsigned char b) {
        if (version < 6)
            out += codePointToUtf8(b);
        else
            out += static_cast<char>(b);
    };
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] != '%') {
            out += s[i];
        } else if (i + 1 < s.size() && hexValue(s[i + 1]) >= 0) {
            if (i + 2 < s.size() && hexValue(s[i + 2]) >= 0)
                byte(out, static_cast<unsigned char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2])));
            i += 2;
        } else {
            ++i;
        }
    }
    return out;
}

} // namespace

void installObjectAndFunction(Runtime &rt, Object *global)
{
    Object *objectProto = rt.protos.object;
    Object *functionProto = rt.protos.function;

    FunctionObject *objectCtor = rt.newNative(
        [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
            Value v = arg(args, 0);
            if (v.isObject())
                return v;
            if (v.isNullish())
                return r.newObject();
            return r.toObject(v);
        },
        objectProto);
    objectCtor->constructsItself = true;
    rt.define(global, "Object", objectCtor, DontEnum);
    rt.defineMethod(objectProto, "toString", [](Runtime &, const Value &self, std::vector<Value> &) -> Value {
        if (self.isObject() && self.asObject()->isFunction())
            return "[type Function]";
        return "[object Object]";
    });
    rt.defineMethod(
        objectProto, "toLocaleString",
        [](Runtime &, const Value &, std::vector<Value> &) -> Value { return "[object Object]"; });
    rt.defineMethod(objectProto, "valueOf",
                    [](Runtime &, const Value &self, std::vector<Value> &) -> Value { return self; });
    rt.defineMethod(objectProto, "hasOwnProperty",
                    [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
                        Object *o = thisObject(self);
                        if (!o || args.empty())
                            return false;
                        const std::string name = r.toString(args[0]);
                        // Every object owns its __proto__ link; no property is named "".
                        if (name.empty())
                            return false;
                        if (r.version() >= 7 ? name == "__proto__" : foldCase(name) == "__proto__")
                            return true;
                        return r.hasOwn(o, name);
                    });
    rt.defineMethod(objectProto, "isPrototypeOf",
                    [](Runtime &, const Value &self, std::vector<Value> &args) -> Value {
                        Object *o = thisObject(self);
                        const Value v = arg(args, 0);
                        if (!o || !v.isObject())
                            return false;
                        int depth = 0;
                        for (Object *p = v.asObject()->proto; p && depth < 256; p = p->proto, ++depth) {
                            if (p == o)
                                return true;
                        }
                        return false;
                    });
    rt.defineMethod(objectProto, "propertyIsEnumerable",
                    [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
                        Object *o = thisObject(self);
                        if (!o)
                            return false;
                        const Property *p = o->props.find(r.toString(arg(args, 0)));
                        return p && !(p->flags & DontEnum);
                    });
    rt.defineMethod(objectProto, "addProperty", addProperty);
    rt.defineMethod(objectProto, "watch",
                    [](Runtime &, const Value &, std::vector<Value> &) -> Value { return false; });
    rt.defineMethod(objectProto, "unwatch",
                    [](Runtime &, const Value &, std::vector<Value> &) -> Value { return false; });
    rt.defineMethod(objectCtor, "registerClass",
                    [](Runtime &, const Value &, std::vector<Value> &) -> Value { return false; });

    FunctionObject *functionCtor = rt.newNative(
        [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
            const Value v = arg(args, 0);
            return v.isObject() ? v : Value(r.newObject());
        },
        functionProto);
    rt.define(global, "Function", functionCtor, DontEnum);
    rt.defineMethod(functionProto, "call", functionCall);
    rt.defineMethod(functionProto, "apply", functionApply);
    rt.defineMethod(global, "ASSetPropFlags", setPropFlags);
}

void installPrimitiveClasses(Runtime &rt, Object *global)
{
    Object *numberProto = rt.protos.number;
    FunctionObject *number = rt.newNative(
        [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
            return boxOrConvert(r, args.empty() ? 0.0 : r.toNumber(args[0]));
        },
        numberProto);
    number->constructsItself = true;
    rt.define(global, "Number", number, DontEnum);
    rt.define(number, "MAX_VALUE", std::numeric_limits<double>::max(), DontEnum | DontDelete | ReadOnly);
    rt.define(number, "MIN_VALUE", std::numeric_limits<double>::denorm_min(),
              DontEnum | DontDelete | ReadOnly);
    rt.define(number, "NaN", kNaN, DontEnum | DontDelete | ReadOnly);
    rt.define(number, "NEGATIVE_INFINITY", -std::numeric_limits<double>::infinity(),
              DontEnum | DontDelete | ReadOnly);
    rt.define(number, "POSITIVE_INFINITY", std::numeric_limits<double>::infinity(),
              DontEnum | DontDelete | ReadOnly);
    rt.defineMethod(numberProto, "toString",
                    [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
                        const Value p = primitiveOf(self);
                        if (!p.isNumber())
                            return r.toString(self);
                        const Value radix = arg(args, 0);
                        const int base = radix.isUndefined() ? 10 : toInt32(r.toNumber(radix));
                        return numberToRadix(p.asNumber(), base);
                    });
    rt.defineMethod(numberProto, "valueOf", [](Runtime &, const Value &self, std::vector<Value> &) -> Value {
        const Value p = primitiveOf(self);
        return p.isObject() ? self : p;
    });

    Object *booleanProto = rt.protos.boolean;
    FunctionObject *boolean = rt.newNative(
        [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
            if (args.empty() && !r.constructing())
                return {};
            return boxOrConvert(r, r.toBoolean(arg(args, 0)));
        },
        booleanProto);
    boolean->constructsItself = true;
    rt.define(global, "Boolean", boolean, DontEnum);
    rt.defineMethod(booleanProto, "toString",
                    [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
                        const Value p = primitiveOf(self);
                        return p.isBool() ? Value(p.asBool() ? "true" : "false") : Value(r.toString(self));
                    });
    rt.defineMethod(booleanProto, "valueOf", [](Runtime &, const Value &self, std::vector<Value> &) -> Value {
        const Value p = primitiveOf(self);
        return p.isObject() ? self : p;
    });

    Object *errorProto = rt.protos.error;
    FunctionObject *error = rt.newNative(
        [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
            Object *o = thisObject(self);
            if (!o)
                o = r.newObject(r.protos.error);
            if (!args.empty() && !args[0].isUndefined())
                r.set(o, "message", args[0]);
            return o;
        },
        errorProto);
    rt.define(global, "Error", error, DontEnum);
    rt.define(errorProto, "message", "Error", DontEnum);
    rt.define(errorProto, "name", "Error", DontEnum);
    rt.defineMethod(errorProto, "toString", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        return r.toString(r.getMember(self, "message"));
    });
}

void installGlobalFunctions(Runtime &rt, Object *global)
{
    // Called without an argument, parseInt and parseFloat give undefined and the
    // number tests see NaN.
    rt.defineMethod(global, "parseInt", [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        if (args.empty())
            return {};
        std::optional<int> radix;
        if (args.size() > 1)
            radix = toInt32(r.toNumber(args[1]));
        return parseInt(r.toString(args[0]), radix);
    });
    rt.defineMethod(global, "parseFloat", [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        if (args.empty())
            return {};
        return parseFloat(r.toString(args[0]));
    });
    rt.defineMethod(global, "isNaN", [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        return args.empty() || std::isnan(r.toNumber(args[0]));
    });
    rt.defineMethod(global, "isFinite", [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        return !args.empty() && std::isfinite(r.toNumber(args[0]));
    });
    rt.defineMethod(global, "escape", [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        return r.limitString(escape(r.toString(arg(args, 0))));
    });
    rt.defineMethod(global, "unescape", [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        return unescape(r.toString(arg(args, 0)), r.version());
    });
    rt.defineMethod(global, "getTimer", [](Runtime &, const Value &, std::vector<Value> &) -> Value {
        static const auto start = std::chrono::steady_clock::now();
        return static_cast<double>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
    });
    rt.define(global, "NaN", kNaN, DontEnum);
    rt.define(global, "Infinity", std::numeric_limits<double>::infinity(), DontEnum);
    // Ignored safely: nothing is loaded, no timer calls back.
    for (const char *name : {"setInterval", "clearInterval", "setTimeout", "clearTimeout", "loadMovieNum",
                             "loadVariablesNum", "unloadMovieNum", "updateAfterEvent", "showRedrawRegions"})
        rt.defineMethod(global, name,
                        [](Runtime &, const Value &, std::vector<Value> &) -> Value { return {}; });
}

void Runtime::installBuiltins()
{
    protos.object = m_heap.make<Object>();
    protos.function = m_heap.make<Object>();
    protos.function->proto = protos.object;
    // The global object has no prototype: it answers neither toString nor valueOf.
    m_global = m_heap.make<Object>();
    protos.array = newObject();
    protos.string = newObject();
    protos.number = newObject();
    protos.boolean = newObject();
    protos.error = newObject();
    protos.movieClip = newObject();
    protos.button = newObject();
    protos.textField = newObject();
    installObjectAndFunction(*this, m_global);
    installPrimitiveClasses(*this, m_global);
    installMath(*this, m_global);
    installGlobalFunctions(*this, m_global);
    installArray(*this, m_global);
    installString(*this, m_global);
    installMovieClip(*this, m_global);
}

} // namespace velmora::swf::avm1
