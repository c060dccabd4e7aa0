#include "controls/swf/avm1/array.h"

#include "controls/swf/avm1/runtime.h"

#include <algorithm>
#include <cmath>

namespace velmora::swf::avm1 {

namespace {

ArrayObject *asArray(Object *o)
{
    if (o && (o->kind() == Object::Kind::Array || o->kind() == Object::Kind::Arguments))
        return static_cast<ArrayObject *>(o);
    return nullptr;
}

std::size_t boundedLength(double n)
{
    if (!std::isfinite(n) || n <= 0)
        return 0;
    return static_cast<std::size_t>(std::min(n, static_cast<double>(Limits::kMaxArrayLength)));
}

} // namespace

std::optional<std::int32_t> arrayIndexOf(const std::string &name)
{
    std::size_t i = name.size() > 1 && name[0] == '-' ? 1 : 0;
    if (i == name.size())
        return std::nullopt;
    std::uint32_t v = 0;
    for (; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return std::nullopt;
        v = v * 10 + static_cast<std::uint32_t>(name[i] - '0');
    }
    if (name[0] == '-')
        v = 0U - v;
    return static_cast<std::int32_t>(v);
}

void setArrayLength(ArrayObject *a, std::int32_t length)
{
    const std::int32_t from = std::max(length, 0);
    if (from < a->length && static_cast<std::size_t>(a->length - from) <= a->props.size()) {
        for (std::int32_t i = from; i < a->length; ++i)
            a->props.remove(std::to_string(i));
    } else if (from < a->length) {
        std::vector<std::string> doomed;
        a->props.forEach([&](const Property &p) {
            // Only the plain spellings of the indices in range: "-5" or "007" stay.
            const auto index = arrayIndexOf(p.name);
            if (index && *index >= from && *index < a->length && std::to_string(*index) == p.name)
                doomed.push_back(p.name);
        });
        for (const std::string &name : doomed)
            a->props.remove(name);
    }
    a->length = length;
}

void noteArrayWrite(ArrayObject *a, const std::string &name)
{
    const auto index = arrayIndexOf(name);
    if (index && *index >= a->length)
        setArrayLength(a, static_cast<std::int32_t>(static_cast<std::uint32_t>(*index) + 1));
}

std::vector<Value> arrayElements(Runtime &rt, Object *o)
{
    if (!o)
        return {};
    const ArrayObject *a = asArray(o);
    const std::size_t n = a ? boundedLength(a->length) : boundedLength(rt.toNumber(rt.get(o, "length")));
    rt.spend(static_cast<long>(n / 16));
    std::vector<Value> out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(rt.get(o, std::to_string(i)));
    return out;
}

void storeArrayElements(Runtime &rt, Object *o, std::vector<Value> elements)
{
    if (elements.size() > Limits::kMaxArrayLength)
        throw ScriptAbort{"array length"};
    rt.spend(static_cast<long>(elements.size() / 16));
    if (ArrayObject *a = asArray(o)) {
        setArrayLength(a, 0);
        for (std::size_t i = 0; i < elements.size(); ++i)
            rt.set(a, std::to_string(i), elements[i]);
        return;
    }
    if (!o)
        return;
    for (std::size_t i = 0; i < elements.size(); ++i)
        rt.set(o, std::to_string(i), elements[i]);
    rt.set(o, "length", static_cast<double>(elements.size()));
}

} // namespace velmora::swf::avm1
