// String: the constructor, fromCharCode and the prototype's methods, counting
// in UTF-16 code units as Flash does.
#include "controls/swf/avm1/builtins.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora::swf::avm1 {

namespace {

std::u16string thisString(Runtime &rt, const Value &self)
{
    if (self.isObject() && self.asObject()->kind() == Object::Kind::Boxed) {
        const Value &p = static_cast<BoxedObject *>(self.asObject())->primitive;
        if (p.isString()) {
            rt.spendBytes(p.asString().size());
            return toUtf16(p.asString());
        }
    }
    return toUtf16(rt.toString(self));
}

Value str(const std::u16string &s)
{
    return fromUtf16(s);
}

// The plain search compares the whole needle at every position, which a long needle
// in a long text makes quadratic: long needles are searched for in linear time
// (Knuth-Morris-Pratt). Returns the offset of the first match, or -1.
constexpr std::size_t kShortNeedle = 32;

template <class It> std::ptrdiff_t searchLinear(It text, It textEnd, It needle, It needleEnd)
{
    const std::ptrdiff_t m = needleEnd - needle, n = textEnd - text;
    // border[i]: the length of the longest proper prefix of needle[0..i] that ends there.
    std::vector<std::ptrdiff_t> border(static_cast<std::size_t>(m), 0);
    for (std::ptrdiff_t i = 1, k = 0; i < m; ++i) {
        while (k > 0 && needle[i] != needle[k])
            k = border[static_cast<std::size_t>(k - 1)];
        if (needle[i] == needle[k])
            ++k;
        border[static_cast<std::size_t>(i)] = k;
    }
    for (std::ptrdiff_t i = 0, k = 0; i < n; ++i) {
        while (k > 0 && text[i] != needle[k])
            k = border[static_cast<std::size_t>(k - 1)];
        if (text[i] == needle[k])
            ++k;
        if (k == m)
            return i - m + 1;
    }
    return -1;
}

std::size_t findText(const std::u16string &s, const std::u16string &needle, std::size_t from)
{
    if (needle.size() <= kShortNeedle || from > s.size())
        return s.find(needle, from);
    const std::ptrdiff_t at =
        searchLinear(s.begin() + static_cast<std::ptrdiff_t>(from), s.end(), needle.begin(), needle.end());
    return at < 0 ? std::u16string::npos : from + static_cast<std::size_t>(at);
}

// The last match that starts at `from` or before: the first one from the end.
std::size_t findLastText(const std::u16string &s, const std::u16string &needle, std::size_t from)
{
    if (needle.size() <= kShortNeedle || needle.size() > s.size())
        return s.rfind(needle, from);
    const std::size_t latest = std::min(from, s.size() - needle.size());
    const std::ptrdiff_t at =
        searchLinear(s.rbegin() + static_cast<std::ptrdiff_t>(s.size() - latest - needle.size()), s.rend(),
                     needle.rbegin(), needle.rend());
    return at < 0 ? std::u16string::npos : latest - static_cast<std::size_t>(at);
}

// An integer argument: NaN and undefined read as 0.
double integer(Runtime &rt, const Value &v)
{
    const double n = rt.toNumber(v);
    return std::isnan(n) ? 0 : static_cast<double>(toInt32(n));
}

std::size_t clampIndex(double n, std::size_t length)
{
    return static_cast<std::size_t>(std::clamp(n, 0.0, static_cast<double>(length)));
}

Value charAt(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    const std::u16string s = thisString(rt, self);
    const double i = integer(rt, arg(args, 0));
    if (i < 0 || i >= static_cast<double>(s.size()))
        return "";
    return str(s.substr(static_cast<std::size_t>(i), 1));
}

Value charCodeAt(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    const std::u16string s = thisString(rt, self);
    const double i = integer(rt, arg(args, 0));
    if (i < 0)
        return std::nan("");
    if (i >= static_cast<double>(s.size()))
        return rt.version() <= 5 ? 0.0 : std::nan("");
    return static_cast<double>(s[static_cast<std::size_t>(i)]);
}

Value indexOf(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    if (args.empty())
        return {};
    const std::u16string s = thisString(rt, self), needle = toUtf16(rt.toString(args[0]));
    const double start = std::max(0.0, integer(rt, arg(args, 1)));
    if (start > static_cast<double>(s.size()))
        return -1;
    const std::size_t at = findText(s, needle, static_cast<std::size_t>(start));
    return at == std::u16string::npos ? -1.0 : static_cast<double>(at);
}

Value lastIndexOf(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    if (args.empty())
        return {};
    const std::u16string s = thisString(rt, self), needle = toUtf16(rt.toString(args[0]));
    std::size_t from = std::u16string::npos;
    if (args.size() > 1 && !args[1].isUndefined()) {
        const double n = integer(rt, args[1]);
        if (n < 0)
            return -1;
        from = static_cast<std::size_t>(n);
    }
    const std::size_t at = findLastText(s, needle, from);
    return at == std::u16string::npos ? -1.0 : static_cast<double>(at);
}

Value slice(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    if (args.empty())
        return {};
    const std::u16string s = thisString(rt, self);
    const auto length = static_cast<double>(s.size());
    auto relative = [&](const Value &v, double fallback) {
        if (v.isUndefined())
            return fallback;
        double n = integer(rt, v);
        return n < 0 ? std::max(0.0, length + n) : std::min(n, length);
    };
    const double start = relative(args[0], 0), end = relative(arg(args, 1), length);
    if (start >= end)
        return "";
    return str(s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

Value substr(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    if (args.empty())
        return {};
    const std::u16string s = thisString(rt, self);
    const auto length = static_cast<double>(s.size());
    double start = integer(rt, args[0]);
    if (start < 0)
        start = std::max(0.0, length + start);
    start = std::min(start, length);
    double count = length - start;
    if (args.size() > 1 && !args[1].isUndefined()) {
        count = integer(rt, args[1]);
        if (count < 0) {
            // A negative count is taken from the string's length, and the result is
            // empty when that reaches the end: "abcd".substr(1, -2) is "bc",
            // "abcd".substr(1, -1) is "".
            count = length + count;
            if (count < 0 || start + count >= length)
                count = 0;
        }
    }
    count = std::min(count, length - start);
    return str(s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
}

Value substring(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    if (args.empty())
        return {};
    const std::u16string s = thisString(rt, self);
    std::size_t start = clampIndex(integer(rt, args[0]), s.size());
    std::size_t end = s.size();
    if (args.size() > 1 && !args[1].isUndefined())
        end = clampIndex(integer(rt, args[1]), s.size());
    if (start > end)
        std::swap(start, end);
    return str(s.substr(start, end - start));
}

Value split(Runtime &rt, const Value &self, std::vector<Value> &args)
{
    const std::u16string s = thisString(rt, self);
    std::vector<Value> parts;
    std::size_t limit = Limits::kMaxArrayLength;
    if (args.size() > 1 && !args[1].isUndefined()) {
        const double n = integer(rt, args[1]);
        limit = n <= 0 ? 0 : std::min(limit, static_cast<std::size_t>(n));
    }
    const Value sepValue = arg(args, 0);
    // SWF 5 splits at commas when no separator is given.
    if (sepValue.isUndefined() && rt.version() <= 5) {
        std::vector<Value> commas{Value(","), arg(args, 1)};
        return split(rt, self, commas);
    }
    if (sepValue.isUndefined()) {
        if (limit > 0)
            parts.emplace_back(fromUtf16(s));
        return rt.newArray(std::move(parts));
    }
    const std::u16string sep = toUtf16(rt.toString(sepValue));
    if (sep.empty()) {
        if (rt.version() < 6) {
            if (limit > 0)
                parts.emplace_back(fromUtf16(s));
        } else {
            for (std::size_t i = 0; i < s.size() && parts.size() < limit; ++i)
                parts.push_back(str(s.substr(i, 1)));
        }
        return rt.newArray(std::move(parts));
    }
    std::size_t start = 0;
    while (parts.size() < limit) {
        const std::size_t at = findText(s, sep, start);
        if (at == std::u16string::npos) {
            parts.push_back(str(s.substr(start)));
            break;
        }
        parts.push_back(str(s.substr(start, at - start)));
        start = at + sep.size();
    }
    return rt.newArray(std::move(parts));
}

Value changeCase(Runtime &rt, const Value &self, bool upper)
{
    QString text = QString::fromStdU16String(thisString(rt, self));
    for (QChar &c : text) {
        if (c.unicodeVersion() <= QChar::Unicode_3_2)
            c = upper ? c.toUpper() : c.toLower();
    }
    return text.toStdString();
}

} // namespace

void installString(Runtime &rt, Object *global)
{
    Object *proto = rt.protos.string;
    FunctionObject *ctor = rt.newNative(
        [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
            const std::string s = args.empty() ? std::string() : r.toString(args[0]);
            if (!r.constructing())
                return s;
            Object *o = r.toObject(Value(s));
            r.define(o, "length", static_cast<double>(toUtf16(s).size()), DontEnum | DontDelete);
            return o;
        },
        proto);
    ctor->constructsItself = true;
    rt.define(global, "String", ctor, DontEnum);
    rt.defineMethod(ctor, "fromCharCode", [](Runtime &r, const Value &, std::vector<Value> &args) -> Value {
        std::u16string s;
        for (const Value &v : args) {
            const auto c = static_cast<char16_t>(toUint32(r.toNumber(v)) & 0xFFFF);
            if (c == 0)
                break; // strings end at a NUL
            s += c;
        }
        return fromUtf16(s);
    });
    rt.defineMethod(proto, "toString", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        return str(thisString(r, self));
    });
    rt.defineMethod(proto, "valueOf", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        return str(thisString(r, self));
    });
    rt.defineMethod(proto, "charAt", charAt);
    rt.defineMethod(proto, "charCodeAt", charCodeAt);
    rt.defineMethod(proto, "concat", [](Runtime &r, const Value &self, std::vector<Value> &args) -> Value {
        std::string s = fromUtf16(thisString(r, self));
        for (const Value &v : args)
            s = r.limitString(std::move(s.append(r.toString(v))));
        return s;
    });
    rt.defineMethod(proto, "indexOf", indexOf);
    rt.defineMethod(proto, "lastIndexOf", lastIndexOf);
    rt.defineMethod(proto, "slice", slice);
    rt.defineMethod(proto, "substr", substr);
    rt.defineMethod(proto, "substring", substring);
    rt.defineMethod(proto, "split", split);
    rt.defineMethod(proto, "toLowerCase", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        return changeCase(r, self, false);
    });
    rt.defineMethod(proto, "toUpperCase", [](Runtime &r, const Value &self, std::vector<Value> &) -> Value {
        return changeCase(r, self, true);
    });
}

} // namespace velmora::swf::avm1
