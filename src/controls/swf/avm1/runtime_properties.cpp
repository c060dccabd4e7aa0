// Property access: own properties, then along the prototype chain, with array
// lengths, getters and setters, and the properties a clip has of its own.
#include "controls/swf/avm1/runtime.h"

#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/clipobject.h"

#include <cmath>
#include <set>

namespace velmora::swf::avm1 {

namespace {

bool sameName(const Runtime &rt, const std::string &a, const char *b)
{
    return rt.version() >= 7 ? a == b : foldCase(a) == foldCase(b);
}

} // namespace

Value Runtime::get(Object *o, const std::string &name)
{
    if (!o)
        return {};
    if (o->kind() == Object::Kind::Clip)
        o = liveClip(*this, static_cast<ClipObject *>(o)) ? liveClip(*this, static_cast<ClipObject *>(o)) : o;
    Object *self = o;
    for (int depth = 0; o && depth < Limits::kMaxPrototypeChain; ++depth, o = o->proto) {
        spendBytes(name.size()); // the name is folded and looked up at every level
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
            if (p.isString()) {
                spendBytes(p.asString().size());
                return static_cast<double>(toUtf16(p.asString()).size());
            }
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
        if (name == "length") {
            spendBytes(target.asString().size());
            return static_cast<double>(toUtf16(target.asString()).size());
        }
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
    spendBytes(name.size());
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
    for (int depth = 0; p && depth < Limits::kMaxPrototypeChain; ++depth, p = p->proto) {
        spendBytes(name.size());
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
    spendBytes(name.size());
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
    for (int depth = 0; o && depth < Limits::kMaxPrototypeChain; ++depth, o = o->proto) {
        if (hasOwn(o, name))
            return true;
    }
    return false;
}

bool Runtime::remove(Object *o, const std::string &name)
{
    if (!o)
        return false;
    spendBytes(name.size());
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
    for (int depth = 0; o && depth < Limits::kMaxPrototypeChain; ++depth, o = o->proto) {
        // A clip's children come before its variables, so a loop meets the variables first.
        std::vector<std::string> level;
        if (o->kind() == Object::Kind::Clip)
            clipChildNames(*this, static_cast<ClipObject *>(o), level);
        o->props.forEach([&](const Property &p) {
            if (!(p.flags & DontEnum))
                level.push_back(p.name);
            else
                seen.insert(m_version >= 7 ? p.name : foldCase(p.name));
        });
        // Newest first: for-in pops what Enumerate pushed, so push oldest first.
        for (auto &k : level) {
            if (seen.insert(m_version >= 7 ? k : foldCase(k)).second)
                out.push_back(std::move(k));
        }
    }
    return out;
}

} // namespace velmora::swf::avm1
