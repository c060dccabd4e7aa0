// A script value and the conversions between primitive values. Conversions that
// may call into script (valueOf, toString of objects) live in the interpreter.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velmora::swf::avm1 {

class Object;

// The script ran out of its budget or a limit: every script of this frame stops.
struct ScriptAbort {
    const char *reason;
};

// The bytes held by the long string values of one movie's scripts. Each such string
// keeps its account alive and gives its bytes back when it goes, so a value that
// outlives its runtime stays safe. While a Scope lives, long strings made on its
// thread are charged to its account; making one past the limit is a ScriptAbort.
// Strings made outside any scope (by the host, by tests) are not counted.
class StringAccount {
public:
    explicit StringAccount(std::size_t limit) : m_limit(limit) {}
    std::size_t bytes() const { return m_bytes.load(std::memory_order_relaxed); }
    std::size_t limit() const { return m_limit; }
    // Charges other long text a script keeps (property names) to the account in
    // scope: that account, or null when none is and nothing was charged.
    static std::shared_ptr<StringAccount> chargeInScope(std::size_t bytes);
    void refund(std::size_t bytes) { m_bytes.fetch_sub(bytes, std::memory_order_relaxed); }

    class Scope {
    public:
        explicit Scope(const std::shared_ptr<StringAccount> &account);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        const std::shared_ptr<StringAccount> *m_saved;
    };

private:
    friend class Value;
    friend struct ChargedText;
    const std::size_t m_limit;
    std::atomic<std::size_t> m_bytes{0};
};

struct Undefined {
    friend bool operator==(Undefined, Undefined) = default;
};
struct Null {
    friend bool operator==(Null, Null) = default;
};

class Value {
public:
    enum class Type : std::uint8_t { Undefined, Null, Boolean, Number, String, Object };

    Value() = default;
    Value(Null) : m_type(Type::Null) {}
    Value(bool b) : m_type(Type::Boolean), m_number(b ? 1 : 0) {}
    Value(double n) : m_type(Type::Number), m_number(n) {}
    Value(int n) : m_type(Type::Number), m_number(n) {}
    // (m_short is made first: it takes the text only when m_long will not.)
    Value(std::string s)
        : m_type(Type::String), m_short(s.size() <= kInlineBytes ? std::move(s) : std::string()),
          m_long(s.size() > kInlineBytes ? makeLong(std::move(s)) : nullptr)
    {
    }
    Value(const char *s) : Value(std::string(s)) {}
    Value(Object *o) : m_type(o ? Type::Object : Type::Null), m_object(o) {}

    Type type() const { return m_type; }
    bool isUndefined() const { return m_type == Type::Undefined; }
    bool isNull() const { return m_type == Type::Null; }
    bool isNullish() const { return isUndefined() || isNull(); }
    bool isBool() const { return m_type == Type::Boolean; }
    bool isNumber() const { return m_type == Type::Number; }
    bool isString() const { return m_type == Type::String; }
    bool isObject() const { return m_type == Type::Object; }

    bool asBool() const { return m_number != 0; }
    double asNumber() const { return m_number; }
    // The text of a string value; any other value reads as the empty string.
    const std::string &asString() const { return m_long ? *m_long : m_short; }
    Object *asObject() const { return m_object; }

private:
    // What fits the standard library's own buffer in a string is copied in place.
    static constexpr std::size_t kInlineBytes = 15;
    // The shared text of a longer string, charged to the account in scope.
    static std::shared_ptr<const std::string> makeLong(std::string s);

    // A tagged union kept plain: only the field of the type is meaningful. Copies of
    // a longer string value share its text, so that moving a long string around the
    // stack, registers and variables costs what moving a number does.
    Type m_type = Type::Undefined;
    double m_number = 0;
    Object *m_object = nullptr;
    std::string m_short;
    std::shared_ptr<const std::string> m_long;
};

// Flash's shortest form of a number: up to 15 significant digits, exponent form
// outside 1e-7 .. 1e15.
std::string numberToString(double n);
// A number in another radix (Number.prototype.toString(radix)), integers only.
std::string numberToRadix(double n, int radix);
// The number a string reads as: decimal or 0x hex, surrounding white space allowed;
// NaN otherwise. SWF 5 and earlier read "" as 0... callers pick the rule.
double stringToNumber(const std::string &s, int version);
// ToInt32 of the script language (wrapping modulo 2^32).
std::int32_t toInt32(double n);
std::uint32_t toUint32(double n);
// parseInt / parseFloat of the global object; parseInt's radix is the one given
// (an invalid one gives NaN).
double parseInt(const std::string &s, std::optional<int> radix);
double parseFloat(const std::string &s);

// Orders two strings by code point, as the string comparisons do (a pair of
// surrogates counts as the character it stands for). Negative, zero or positive.
int compareStrings(const std::string &a, const std::string &b);

// UTF-8 <-> UTF-16 code units, for string methods that count in code units.
std::u16string toUtf16(const std::string &s);
std::string fromUtf16(const std::u16string &s);
std::string codePointToUtf8(std::uint32_t c);

} // namespace velmora::swf::avm1
