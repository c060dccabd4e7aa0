#include "controls/swf/avm1/value.h"

#include "common/utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

namespace velmora::swf::avm1 {

namespace {

// Flash prints numbers with this many significant digits.
constexpr int kSignificantDigits = 15;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t skipSpace(const std::string &s, std::size_t i)
{
    while (i < s.size() && isSpace(s[i]))
        ++i;
    return i;
}

// End of the decimal number (sign, digits, fraction, exponent) that starts at i,
// or npos when it holds no digit. An exponent without digits is not part of it.
std::size_t decimalPrefixEnd(const std::string &s, std::size_t i)
{
    const std::size_t end = s.size();
    std::size_t k = i;
    if (k < end && (s[k] == '-' || s[k] == '+'))
        ++k;
    const std::size_t wholeStart = k;
    while (k < end && isDigit(s[k]))
        ++k;
    bool digits = k > wholeStart;
    if (k < end && s[k] == '.') {
        const std::size_t fractionStart = ++k;
        while (k < end && isDigit(s[k]))
            ++k;
        digits = digits || k > fractionStart;
    }
    if (!digits)
        return std::string::npos;
    if (k < end && (s[k] == 'e' || s[k] == 'E')) {
        std::size_t e = k + 1;
        if (e < end && (s[e] == '-' || s[e] == '+'))
            ++e;
        if (e < end && isDigit(s[e])) {
            while (e < end && isDigit(s[e]))
                ++e;
            k = e;
        }
    }
    return k;
}

} // namespace

std::string numberToString(double n)
{
    if (std::isnan(n))
        return "NaN";
    if (std::isinf(n))
        return n > 0 ? "Infinity" : "-Infinity";
    if (n == 0)
        return "0";
    if (std::fabs(n) < 1e15 && n == std::trunc(n)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", n);
        return buf;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", kSignificantDigits - 1, std::fabs(n));
    if (std::isinf(std::strtod(buf, nullptr))) {
        // Rounding up would pass the largest number: Flash cuts the digits instead
        // (Number.MAX_VALUE prints as 1.79769313486231e+308).
        std::snprintf(buf, sizeof buf, "%.*e", kSignificantDigits + 2, std::fabs(n));
        char *e = std::strchr(buf, 'e');
        std::memmove(buf + kSignificantDigits + 1, e, std::strlen(e) + 1);
    }
    // buf: d.dddddddddddddde±xx
    std::string digits;
    digits += buf[0];
    const char *p = buf + 2;
    while (*p && *p != 'e')
        digits += *p++;
    int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = n < 0 ? "-" : "";
    if (exponent >= kSignificantDigits || exponent < -7) {
        out += digits[0];
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += exponent < 0 ? "e-" : "e+";
        out += std::to_string(std::abs(exponent));
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent) - 1, '0') + digits;
    } else {
        const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + "." + digits.substr(whole);
        }
    }
    return out;
}

std::string numberToRadix(double n, int radix)
{
    if (radix == 10 || radix < 2 || radix > 36)
        return numberToString(n);
    // Flash truncates to a 32-bit integer the way the processor does: NaN, the
    // infinities and what does not fit become -2^31. That value stays negative when
    // negated, so its digits come out of the remainders below zero, as characters
    // before '0' (NaN.toString(2) is "-/000...").
    const std::int64_t v =
        std::isfinite(n) && n > -2147483649.0 && n < 2147483648.0 ? static_cast<std::int64_t>(n) : INT32_MIN;
    const bool negative = v < 0;
    const std::int64_t magnitude = v == INT32_MIN ? v : (negative ? -v : v);
    std::string out;
    std::int64_t rest = magnitude;
    do {
        const auto digit = static_cast<int>(rest % radix);
        out.insert(out.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10));
        rest /= radix;
    } while (rest != 0);
    return negative ? "-" + out : out;
}

double stringToNumber(const std::string &s, int version)
{
    if (version <= 4) {
        // SWF 4 reads the number a string starts with, and 0 when there is none.
        const std::size_t start = skipSpace(s, 0), k = decimalPrefixEnd(s, start);
        return k == std::string::npos ? 0.0 : std::strtod(s.substr(start, k - start).c_str(), nullptr);
    }
    const double invalid = std::numeric_limits<double>::quiet_NaN();
    const std::size_t end = s.size();
    const std::size_t i = skipSpace(s, 0);
    if (i == end)
        return invalid;
    // Hexadecimal: 0x prefix, with an optional sign before or after it (SWF 6 and
    // later). The digits wrap to a 32-bit integer as Flash's integer reader does.
    std::size_t j = i;
    bool negative = false;
    if (version >= 6 && (s[j] == '-' || s[j] == '+'))
        negative = s[j++] == '-';
    if (version >= 6 && j + 1 < end && s[j] == '0' && (s[j + 1] == 'x' || s[j + 1] == 'X')) {
        std::size_t k = j + 2;
        if (k < end && (s[k] == '-' || s[k] == '+'))
            negative = negative != (s[k++] == '-');
        if (k == end)
            return invalid;
        std::uint32_t v = 0;
        for (; k < end; ++k) {
            const int d = digitValue(s[k]);
            if (d >= 16)
                return invalid;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        const double n = static_cast<std::int32_t>(v);
        return negative ? -n : n;
    }
    // Decimal: optional sign, digits, fraction, exponent; trailing white space is
    // not allowed (Flash reads "1 " as NaN).
    const std::size_t k = decimalPrefixEnd(s, i);
    if (k != end)
        return invalid;
    // SWF 6 and later read a leading zero as octal when every digit is one, unless
    // white space comes first (" 010" is 10); the value wraps like hex.
    if (version >= 6 && i == 0) {
        const std::size_t d = (s[0] == '-' || s[0] == '+') ? 1 : 0;
        if (k - d > 1 && s[d] == '0' &&
            std::all_of(s.begin() + static_cast<std::ptrdiff_t>(d), s.end(),
                        [](char c) { return c >= '0' && c <= '7'; })) {
            std::uint32_t v = 0;
            for (std::size_t m = d; m < k; ++m)
                v = v * 8 + static_cast<std::uint32_t>(s[m] - '0');
            const double n = static_cast<std::int32_t>(v);
            return s[0] == '-' ? -n : n;
        }
    }
    return std::strtod(s.substr(i, k - i).c_str(), nullptr);
}

std::int32_t toInt32(double n)
{
    if (!std::isfinite(n))
        return 0;
    double m = std::fmod(std::trunc(n), 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    auto u = static_cast<std::uint32_t>(m);
    return static_cast<std::int32_t>(u);
}

std::uint32_t toUint32(double n)
{
    return static_cast<std::uint32_t>(toInt32(n));
}

double parseInt(const std::string &s, std::optional<int> radix)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (radix && (*radix < 2 || *radix > 36))
        return nan;
    const std::size_t end = s.size();
    std::size_t i = 0;
    // A "0x" at the very start (a sign may come before it) marks hex and is
    // skipped for any radix. Flash skips the string's first two characters then,
    // so "-0x10" loses its sign and keeps the "x": it reads as NaN in hex.
    const std::size_t zero = (end > 0 && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (zero + 1 < end && s[zero] == '0' && (s[zero + 1] == 'x' || s[zero + 1] == 'X')) {
        i = 2;
        radix = radix.value_or(16);
    }
    // Without a radix, '0' and octal digits to the very end (no white space) are octal.
    if (!radix && zero + 1 < end && s[zero] == '0' &&
        std::all_of(s.begin() + static_cast<std::ptrdiff_t>(zero), s.end(),
                    [](char c) { return c >= '0' && c <= '7'; }))
        radix = 8;
    const int base = radix.value_or(10);
    i = skipSpace(s, i);
    bool negative = false;
    if (i < end && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    double v = 0;
    bool any = false;
    for (; i < end; ++i) {
        const int d = digitValue(s[i]);
        if (d >= base)
            break;
        v = v * base + d;
        any = true;
    }
    if (!any)
        return nan;
    return negative ? -v : v;
}

double parseFloat(const std::string &s)
{
    // Flash's own reader: digit by digit, more decimal points are skipped (and end
    // the chance of an exponent), the exponent wraps as a 32-bit integer.
    const std::size_t end = s.size();
    std::size_t i = skipSpace(s, 0);
    bool negative = false;
    if (i < end && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    double value = 0, scale = 1;
    bool any = false, fraction = false, exponentAllowed = true;
    for (; i < end; ++i) {
        if (isDigit(s[i])) {
            any = true;
            if (fraction) {
                scale /= 10;
                value += (s[i] - '0') * scale;
            } else {
                value = value * 10 + (s[i] - '0');
            }
        } else if (s[i] == '.') {
            exponentAllowed = !fraction;
            fraction = true;
        } else {
            break;
        }
    }
    if (!any)
        return std::numeric_limits<double>::quiet_NaN();
    if (exponentAllowed && i + 1 < end && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t k = i + 1;
        bool negativeExponent = false;
        if (s[k] == '-' || s[k] == '+')
            negativeExponent = s[k++] == '-';
        std::uint32_t exponent = 0;
        for (; k < end && isDigit(s[k]); ++k)
            exponent = exponent * 10 + static_cast<std::uint32_t>(s[k] - '0');
        const auto e = static_cast<std::int32_t>(exponent);
        value *= std::pow(10.0, negativeExponent ? -static_cast<double>(e) : e);
    }
    return negative ? -value : value;
}

int compareStrings(const std::string &a, const std::string &b)
{
    const std::u16string x = toUtf16(a), y = toUtf16(b);
    std::size_t i = 0, j = 0;
    auto next = [](const std::u16string &s, std::size_t &k) -> std::uint32_t {
        const std::uint32_t c = s[k++];
        if (c >= 0xD800 && c < 0xDC00 && k < s.size() && s[k] >= 0xDC00 && s[k] < 0xE000)
            return 0x10000 + ((c - 0xD800) << 10) + (s[k++] - 0xDC00);
        return c;
    };
    while (i < x.size() && j < y.size()) {
        const std::uint32_t c = next(x, i), d = next(y, j);
        if (c != d)
            return c < d ? -1 : 1;
    }
    if (i < x.size())
        return 1;
    return j < y.size() ? -1 : 0;
}

std::string codePointToUtf8(std::uint32_t c)
{
    std::string out;
    appendUtf8(out, c);
    return out;
}

std::u16string toUtf16(const std::string &s)
{
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        std::uint32_t c = b;
        int extra = 0;
        if (b >= 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else if (b >= 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if (b >= 0xC0) {
            c = b & 0x1F;
            extra = 1;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i)
            c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string fromUtf16(const std::u16string &s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out += codePointToUtf8(c);
    }
    return out;
}

namespace {
// The account long strings made on this thread are charged to, if any.
thread_local const std::shared_ptr<StringAccount> *t_account = nullptr;
} // namespace

StringAccount::Scope::Scope(const std::shared_ptr<StringAccount> &account) : m_saved(t_account)
{
    t_account = &account;
}

StringAccount::Scope::~Scope()
{
    t_account = m_saved;
}

std::shared_ptr<StringAccount> StringAccount::chargeInScope(std::size_t bytes)
{
    if (!t_account)
        return nullptr;
    const std::shared_ptr<StringAccount> &account = *t_account;
    if (bytes > account->m_limit - std::min(account->m_limit, account->bytes()))
        throw ScriptAbort{"string memory"};
    account->m_bytes.fetch_add(bytes, std::memory_order_relaxed);
    return account;
}

// A long string's text with the account it was charged to, in one allocation.
struct ChargedText {
    ChargedText(std::string s, std::shared_ptr<StringAccount> a)
        : text(std::move(s)), account(std::move(a)), bytes(text.capacity())
    {
        account->m_bytes.fetch_add(bytes, std::memory_order_relaxed);
    }
    ~ChargedText() { account->m_bytes.fetch_sub(bytes, std::memory_order_relaxed); }
    ChargedText(const ChargedText &) = delete;
    ChargedText &operator=(const ChargedText &) = delete;

    const std::string text;
    const std::shared_ptr<StringAccount> account;
    const std::size_t bytes;
};

std::shared_ptr<const std::string> Value::makeLong(std::string s)
{
    if (!t_account)
        return std::make_shared<const std::string>(std::move(s));
    const std::shared_ptr<StringAccount> &account = *t_account;
    if (s.capacity() > account->m_limit - std::min(account->m_limit, account->bytes()))
        throw ScriptAbort{"string memory"};
    auto held = std::make_shared<const ChargedText>(std::move(s), account);
    return {held, &held->text};
}

} // namespace velmora::swf::avm1
