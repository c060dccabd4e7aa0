// Script objects: a property map in creation order, a prototype link, and the
// kinds the interpreter treats specially (functions, arrays, boxed primitives,
// movie clips). Objects live on a Heap that frees the unreachable ones between
// frames.
#pragma once

#include "controls/swf/avm1/value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace velmora::swf::avm1 {

class Runtime;
class DisplayObjectLink;

enum PropertyFlag : std::uint8_t { DontEnum = 1, DontDelete = 2, ReadOnly = 4 };

struct Property {
    std::string name;
    Value value;
    Object *getter = nullptr; // addProperty: a virtual property
    Object *setter = nullptr;
    std::uint8_t flags = 0;
    bool removed = false;
    bool charged = false; // a long name, counted with the movie's strings
};

// Properties in creation order, looked up by name; before SWF 7 names match
// without regard to case.
class PropertyMap {
public:
    explicit PropertyMap(bool caseSensitive) : m_caseSensitive(caseSensitive) {}
    ~PropertyMap();
    PropertyMap(const PropertyMap &) = delete;
    PropertyMap &operator=(const PropertyMap &) = delete;

    Property *find(const std::string &name);
    const Property *find(const std::string &name) const;
    // Adds a property at the end, or returns the existing one.
    Property &insert(const std::string &name);
    bool remove(const std::string &name);
    std::size_t size() const { return m_index.size(); }
    // Live properties, oldest first.
    template <typename F> void forEach(F &&f) const
    {
        for (const Property &p : m_entries) {
            if (!p.removed)
                f(p);
        }
    }
    template <typename F> void forEachMutable(F &&f)
    {
        for (Property &p : m_entries) {
            if (!p.removed)
                f(p);
        }
    }

private:
    std::string key(const std::string &name) const;
    void compact();
    // Long names are held twice (entry and index) and count against the string
    // limit of the runtime in scope; a name past it is a ScriptAbort.
    bool chargeName(std::size_t size);

    std::vector<Property> m_entries;
    std::unordered_map<std::string, std::uint32_t> m_index;
    std::size_t m_removed = 0;
    std::shared_ptr<StringAccount> m_account; // where the long names were charged
    std::size_t m_chargedBytes = 0;
    bool m_caseSensitive;
};

// The case folding of names before SWF 7 (Flash's table predates Unicode 4).
std::string foldCase(const std::string &s);

using NativeFunction = std::function<Value(Runtime &, const Value &self, std::vector<Value> &args)>;

struct ScriptFunctionCode; // interpreter.h

// One link of a scope chain: where variables are looked up and set.
struct ScopeEntry {
    enum class Kind : std::uint8_t { Global, Target, Local, With };
    Object *object = nullptr;
    Kind kind = Kind::Target;
};

class Object {
public:
    enum class Kind : std::uint8_t { Plain, Function, Array, Boxed, Clip, Arguments, Error };

    explicit Object(bool caseSensitive, Kind kind = Kind::Plain) : props(caseSensitive), m_kind(kind) {}
    virtual ~Object() = default;
    Object(const Object &) = delete;
    Object &operator=(const Object &) = delete;

    Kind kind() const { return m_kind; }
    bool isFunction() const { return m_kind == Kind::Function; }

    // Objects this one keeps alive, for the collector.
    virtual void markChildren(std::vector<Object *> &pending) const;

    Object *proto = nullptr;
    PropertyMap props;
    bool marked = false;

private:
    Kind m_kind;
};

class FunctionObject : public Object {
public:
    explicit FunctionObject(bool caseSensitive) : Object(caseSensitive, Kind::Function) {}
    void markChildren(std::vector<Object *> &pending) const override;

    NativeFunction native;
    // For native constructors called with `new`: builds the object itself.
    bool constructsItself = false;
    std::shared_ptr<const ScriptFunctionCode> code;
    std::vector<ScopeEntry> scope; // the scope chain it closes over
    Object *baseClip = nullptr;    // the timeline it was defined on
};

// An Array or an arguments object: its elements are ordinary properties (array.h).
class ArrayObject : public Object {
public:
    explicit ArrayObject(bool caseSensitive, Kind kind = Kind::Array) : Object(caseSensitive, kind) {}

    std::int32_t length = 0;
};

// A Number, String or Boolean object around its primitive value.
class BoxedObject : public Object {
public:
    BoxedObject(bool caseSensitive, Value v) : Object(caseSensitive, Kind::Boxed), primitive(std::move(v)) {}
    Value primitive;
};

// Owns every object of one runtime; a mark-and-sweep pass frees the unreachable.
class Heap {
public:
    static constexpr std::size_t kMaxObjects = 1 << 18;

    explicit Heap(bool caseSensitive) : m_caseSensitive(caseSensitive) {}
    bool caseSensitive() const { return m_caseSensitive; }

    // Null when the heap is full (the caller stops the script).
    template <typename T, typename... Args> T *make(Args &&...args)
    {
        if (m_objects.size() >= kMaxObjects)
            return nullptr;
        auto object = std::make_unique<T>(m_caseSensitive, std::forward<Args>(args)...);
        T *raw = object.get();
        m_objects.push_back(std::move(object));
        ++m_sinceCollect;
        return raw;
    }
    std::size_t size() const { return m_objects.size(); }
    std::size_t allocatedSinceCollect() const { return m_sinceCollect; }
    // Frees every object not reachable from the roots.
    void collect(const std::vector<Object *> &roots);

private:
    std::vector<std::unique_ptr<Object>> m_objects;
    std::size_t m_sinceCollect = 0;
    bool m_caseSensitive;
};

void markValue(const Value &v, std::vector<Object *> &pending);

} // namespace velmora::swf::avm1
