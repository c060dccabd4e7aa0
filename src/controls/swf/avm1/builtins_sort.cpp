// Array.prototype.sort and sortOn. Flash sorts with a quicksort that takes each
// range's first element as its pivot; equal elements end up in the order that
// partitioning leaves them, which scripts can see, so the same partitioning is
// used here (with a depth bound against already-sorted input).
#include "controls/swf/avm1/array.h"
#include "controls/swf/avm1/builtins.h"

#include <algorithm>
#include <cmath>

namespace velmora::swf::avm1 {

namespace {

enum SortFlag : int {
    CaseInsensitive = 1,
    Descending = 2,
    UniqueSort = 4,
    ReturnIndexedArray = 8,
    Numeric = 16
};

using Compare = std::function<int(const Value &, const Value &)>;

int compareValues(Runtime &rt, const Value &a, const Value &b, int flags)
{
    // NUMERIC orders numbers by value (NaN last); anything else by its string.
    if ((flags & Numeric) && a.isNumber() && b.isNumber()) {
        const double x = a.asNumber(), y = b.asNumber();
        if (std::isnan(x) || std::isnan(y))
            return std::isnan(x) ? (std::isnan(y) ? 0 : 1) : -1;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    std::string x = rt.toString(a), y = rt.toString(b);
    if (flags & CaseInsensitive) {
        x = foldCase(x);
        y = foldCase(y);
    }
    return compareStrings(x, y);
}

// Sorts `order` (indices into elements) by `less`, partitioning as Flash does.
void flashQuickSort(std::vector<std::size_t> &order,
                    const std::function<bool(std::size_t, std::size_t)> &less)
{
    struct Range {
        std::size_t lo, hi;
        int depth;
    };
    if (order.size() < 2)
        return;
    const int maxDepth = 2 * static_cast<int>(std::log2(static_cast<double>(order.size()))) + 8;
    std::vector<Range> pending{{0, order.size() - 1, 0}};
    while (!pending.empty()) {
        const Range r = pending.back();
        pending.pop_back();
        if (r.lo >= r.hi)
            continue;
        const auto first = order.begin() + static_cast<std::ptrdiff_t>(r.lo);
        const auto last = order.begin() + static_cast<std::ptrdiff_t>(r.hi) + 1;
        if (r.depth > maxDepth) {
            std::stable_sort(first, last, less);
            continue;
        }
        const std::size_t pivot = order[r.lo];
        std::size_t i = r.lo;
        for (std::size_t j = r.lo + 1; j <= r.hi; ++j) {
            if (less(order[j], pivot))
                std::swap(order[++i], order[j]);
        }
        std::swap(order[i], order[r.lo]);
        if (i > r.lo)
            pending.push_back({r.lo, i - 1, r.depth + 1});
        pending.push_back({i + 1, r.hi, r.depth + 1});
    }
}

// Shared by sort and sortOn: sorts by a comparison, then applies the flags.
Value sortBy(Runtime &rt, const Value &self, std::vector<Value> elements, int flags, const Compare &compare)
{
    std::vector<std::size_t> order(elements.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    bool equalPair = false;
    flashQuickSort(order, [&](std::size_t x, std::size_t y) {
        rt.spend();
        int c = compare(elements[x], elements[y]);
        if (c == 0 && x != y)
            equalPair = true;
        if (flags & Descending)
            c = -c;
        return c < 0;
    });
    if ((flags & UniqueSort) && equalPair)
        return 0.0;
    if (flags & ReturnIndexedArray) {
        std::vector<Value> indices;
        indices.reserve(order.size());
        for (std::size_t i : order)
            indices.emplace_back(static_cast<double>(i));
        return rt.newArray(std::move(indices));
    }
    std::vector<Value> sorted;
    sorted.reserve(order.size());
    for (std::size_t i : order)
        sorted.push_back(elements[i]);
    storeArrayElements(rt, self.asObject(), std::move(sorted));
    return self;
}

// sort([compare], [flags]): any object in the first place is the comparison (one
// that cannot be called finds everything equal), a number there is the flags, and
// anything else makes the call do nothing; a number in the second place is the flags.
Value sort(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    if (!self.isObject())
        return {};
    Value compareFn;
    int flags = 0;
    if (!args.empty()) {
        if (args[0].isObject())
            compareFn = args[0];
        else if (args[0].isNumber())
            flags = toInt32(args[0].asNumber());
        else
            return {};
    }
    if (args.size() > 1 && args[1].isNumber())
        flags = toInt32(args[1].asNumber());
    std::vector<Value> elements = arrayElements(rt, self.asObject());
    if (compareFn.isUndefined())
        return sortBy(rt, self, std::move(elements), flags,
                      [&](const Value &a, const Value &b) { return compareValues(rt, a, b, flags); });
    return sortBy(rt, self, std::move(elements), flags, [&](const Value &a, const Value &b) {
        std::vector<Value> pair{a, b};
        const double r = rt.toNumber(rt.call(compareFn, Value(), pair));
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    });
}

// sortOn reads each field as a plain own property (no getters, nothing inherited);
// an element that is not an object is compared as itself.
Value fieldOf(const Value &element, const std::string &field)
{
    if (!element.isObject())
        return element;
    const Property *p = element.asObject()->props.find(field);
    return p && !p->getter ? p->value : Value();
}

Value sortOn(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    if (!self.isObject() || args.empty())
        return {};
    auto isArray = [](const Value &v) { return v.isObject() && v.asObject()->kind() == Object::Kind::Array; };
    std::vector<std::string> fields;
    if (isArray(args[0])) {
        for (const Value &v : arrayElements(rt, args[0].asObject()))
            fields.push_back(rt.toString(v));
    } else if (!args[0].isUndefined()) {
        fields.push_back(rt.toString(args[0]));
    }
    // Flags per field (an array of as many), or one number for all; the first
    // field's flags also decide UNIQUESORT and RETURNINDEXEDARRAY.
    const Value options = arg(args, 1);
    int flags = options.isNumber() ? toInt32(options.asNumber()) : 0;
    std::vector<int> fieldFlags(fields.size(), flags);
    if (isArray(options)) {
        const std::vector<Value> list = arrayElements(rt, options.asObject());
        if (list.size() == fields.size()) {
            for (std::size_t i = 0; i < list.size(); ++i)
                fieldFlags[i] = toInt32(rt.toNumber(list[i]));
        }
        flags = fieldFlags.empty() ? 0 : fieldFlags[0];
    }
    std::vector<Value> elements = arrayElements(rt, self.asObject());
    return sortBy(rt, self, std::move(elements), flags & ~Descending, [&](const Value &a, const Value &b) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            int c = compareValues(rt, fieldOf(a, fields[i]), fieldOf(b, fields[i]), fieldFlags[i]);
            if (fieldFlags[i] & Descending)
                c = -c;
            if (c != 0)
                return c;
        }
        return 0;
    });
}

} // namespace

void installArraySort(Runtime &rt, Object *arrayCtor, Object *arrayProto)
{
    for (const auto &[name, v] :
         {std::pair{"CASEINSENSITIVE", CaseInsensitive}, std::pair{"DESCENDING", Descending},
          std::pair{"UNIQUESORT", UniqueSort}, std::pair{"RETURNINDEXEDARRAY", ReturnIndexedArray},
          std::pair{"NUMERIC", Numeric}})
        rt.define(arrayCtor, name, v, DontEnum | DontDelete | ReadOnly);
    rt.defineMethod(arrayProto, "sort", sort);
    rt.defineMethod(arrayProto, "sortOn", sortOn);
}

} // namespace velmora::swf::avm1
