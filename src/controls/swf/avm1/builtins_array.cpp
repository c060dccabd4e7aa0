// Array: the constructor and the prototype's methods. They work on any object
// with a length, as Flash's do (sort and sortOn live in builtins_sort.cpp).
#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/builtins.h"

#include <algorithm>
#include <cmath>

namespace velmora::swf::avm1 {

namespace {

ArrayObject *asArray(const Value &self)
{
    if (self.isObject() && (self.asObject()->kind() == Object::Kind::Array ||
                            self.asObject()->kind() == Object::Kind::Arguments))
        return static_cast<ArrayObject *>(self.asObject());
    return nullptr;
}

// The elements of any array-like object.
std::vector<Value> elementsOf(Runtime &rt, const Value &self)
{
    return self.isObject() ? arrayElements(rt, self.asObject()) : std::vector<Value>();
}

void storeElements(Runtime &rt, const Value &self, std::vector<Value> elements)
{
    if (self.isObject())
        storeArrayElements(rt, self.asObject(), std::move(elements));
}

// A relative index of slice/splice: negative counts from the end, clamped.
std::size_t relativeIndex(Runtime &rt, const Value &v, std::size_t length, std::size_t fallback)
{
    if (v.isUndefined())
        return fallback;
    double n = rt.toNumber(v);
    if (std::isnan(n))
        n = 0;
    n = std::trunc(n);
    if (n < 0)
        n = std::max(0.0, static_cast<double>(length) + n);
    return static_cast<std::size_t>(std::min(n, static_cast<double>(length)));
}

Value splice(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    // Without a start, or with a count that is undefined or negative, nothing is
    // removed and the result is undefined.
    if (args.empty() || args[0].isUndefined())
        return {};
    double n = 0;
    if (args.size() > 1) {
        n = args[1].isUndefined() ? -1 : rt.toNumber(args[1]);
        if (std::isnan(n) || n < 0)
            return {};
    }
    std::vector<Value> elements = elementsOf(rt, self);
    const std::size_t start = relativeIndex(rt, args[0], elements.size(), 0);
    std::size_t count = elements.size() - start;
    if (args.size() > 1)
        count = std::min(count, static_cast<std::size_t>(std::min(n, 4294967296.0)));
    std::vector<Value> removed(elements.begin() + static_cast<std::ptrdiff_t>(start),
                               elements.begin() + static_cast<std::ptrdiff_t>(start + count));
    elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(start),
                   elements.begin() + static_cast<std::ptrdiff_t>(start + count));
    if (args.size() > 2)
        elements.insert(elements.begin() + static_cast<std::ptrdiff_t>(start), args.begin() + 2, args.end());
    storeElements(rt, self, std::move(elements));
    return rt.newArray(std::move(removed));
}

} // namespace

std::string joinArray(Runtime &rt, Object *array, const std::string &separator)
{
    std::string out;
    const std::vector<Value> elements = elementsOf(rt, array);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (i)
            out += separator;
        out += rt.toString(elements[i]);
        if (out.size() > Limits::kMaxStringBytes)
            throw ScriptAbort{"string length"};
    }
    return out;
}

// The constructor and every method of Array.prototype, each a short native: long, but
// a list to read method by method.
void installArray(Runtime &rt, Object *global)
{
    Object *proto = rt.protos.array;
    FunctionObject *ctor = rt.newNative(
        [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
            if (args.size() == 1 && args[0].isNumber()) {
                // A length without elements (new Array(-1) has length -1).
                ArrayObject *a = r.newArray();
                a->length = toInt32(args[0].asNumber());
                return a;
            }
            return r.newArray(args);
        },
        proto);
    ctor->constructsItself = true;
    rt.define(global, "Array", ctor, DontEnum);

    // push and pop touch the end alone.
    rt.defineMethod(proto, "push", [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
        if (!self.isObject())
            return {};
        Object *o = self.asObject();
        double n = r.toNumber(r.get(o, "length"));
        n = std::isfinite(n) && n > 0 ? std::trunc(n) : 0;
        for (const Value &v : args)
            r.set(o, numberToString(n++), v);
        r.set(o, "length", n);
        return n;
    });
    rt.defineMethod(proto, "pop", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        if (!self.isObject())
            return {};
        Object *o = self.asObject();
        const double n = r.toNumber(r.get(o, "length"));
        if (!std::isfinite(n) || n < 1)
            return {};
        const std::string name = numberToString(std::trunc(n) - 1);
        Value last = r.get(o, name);
        r.remove(o, name);
        r.set(o, "length", std::trunc(n) - 1);
        return last;
    });
    rt.defineMethod(proto, "shift", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        std::vector<Value> e = elementsOf(r, self);
        if (e.empty())
            return {};
        Value first = e.front();
        e.erase(e.begin());
        storeElements(r, self, std::move(e));
        return first;
    });
    rt.defineMethod(proto, "unshift", [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
        std::vector<Value> e = elementsOf(r, self);
        e.insert(e.begin(), args.begin(), args.end());
        const double n = static_cast<double>(e.size());
        storeElements(r, self, std::move(e));
        return n;
    });
    rt.defineMethod(proto, "reverse", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        std::vector<Value> e = elementsOf(r, self);
        std::reverse(e.begin(), e.end());
        storeElements(r, self, std::move(e));
        return self;
    });
    rt.defineMethod(proto, "join", [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
        if (!self.isObject())
            return {};
        const Value sep = arg(args, 0);
        return joinArray(r, self.asObject(), sep.isUndefined() ? "," : r.toString(sep));
    });
    rt.defineMethod(proto, "toString", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        if (!self.isObject())
            return {};
        return joinArray(r, self.asObject(), ",");
    });
    rt.defineMethod(proto, "slice", [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
        std::vector<Value> e = elementsOf(r, self);
        const std::size_t start = relativeIndex(r, arg(args, 0), e.size(), 0);
        const std::size_t end = relativeIndex(r, arg(args, 1), e.size(), e.size());
        std::vector<Value> part;
        for (std::size_t i = start; i < end; ++i)
            part.push_back(e[i]);
        return r.newArray(std::move(part));
    });
    rt.defineMethod(proto, "concat", [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
        std::vector<Value> e = elementsOf(r, self);
        for (const Value &v : args) {
            if (ArrayObject *a = asArray(v); a && a->kind() == Object::Kind::Array) {
                const std::vector<Value> more = arrayElements(r, a);
                e.insert(e.end(), more.begin(), more.end());
            } else
                e.push_back(v);
            if (e.size() > Limits::kMaxArrayLength)
                throw ScriptAbort{"array length"};
        }
        return r.newArray(std::move(e));
    });
    rt.defineMethod(proto, "splice", splice);
    installArraySort(rt, ctor, proto);
}

} // namespace velmora::swf::avm1
