#include "controls/swf/avm1/value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

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
    if (!std::isfinite(n))
        return numberToString(n);
    auto v = static_cast<std::int64_t>(toInt32(n));
    const bool negative = v < 0;
    auto u = static_cast<std::uint64_t>(negative ? -v : v);
    std::string out;
    do {
        out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % static_cast<unsigned>(radix)]);
        u /= static_cast<unsigned>(radix);
    } while (u);
    return negative ? "-" + out : out;
}

double stringToNumber(const std::string &s, int version)
{
    if (version <= 4) {
        // SWF 4 reads the number a string starts with, and 0 when there is none.
        const double n = parseFloat(s);
        return std::isnan(n) ? 0.0 : n;
    }
    std::size_t i = 0, end = s.size();
    while (i < end && isSpace(s[i]))
        ++i;
    // SWF 4 has no NaN for strings: what does not read as a number is 0.
    const double invalid = version <= 4 ? 0.0 : std::numeric_limits<double>::quiet_NaN();
    if (i == end)
        return invalid;
    // Hexadecimal: 0x prefix, with an optional sign before it (SWF 6 and later).
    std::size_t j = i;
    bool negative = false;
    if (version >= 6 && (s[j] == '-' || s[j] == '+')) {
        negative = s[j] == '-';
        ++j;
    }
    if (version >= 6 && j + 1 < end && s[j] == '0' && (s[j + 1] == 'x' || s[j + 1] == 'X')) {
        double v = 0;
        std::size_t k = j + 2;
        // The sign may also follow the prefix: "0x-10" is -16.
        if (k < end && (s[k] == '-' || s[k] == '+')) {
            negative = negative != (s[k] == '-');
            ++k;
        }
        if (k == end)
            return invalid;
        for (; k < end; ++k) {
            int d = digitValue(s[k]);
            if (d >= 16)
                return invalid;
            v = v * 16 + d;
        }
        return negative ? -v : v;
    }
    // Decimal: optional sign, digits, fraction, exponent; trailing white space is
    // not allowed (Flash reads "1 " as NaN).
    const std::size_t k = decimalPrefixEnd(s, i);
    if (k != end)
        return invalid;
    // SWF 6 and later read a leading zero as octal when every digit is one.
    if (version >= 6) {
        std::size_t d = i + ((s[i] == '-' || s[i] == '+') ? 1 : 0);
        if (k - d > 1 && s[d] == '0' &&
            std::all_of(s.begin() + static_cast<std::ptrdiff_t>(d),
                        s.begin() + static_cast<std::ptrdiff_t>(k),
                        [](char c) { return c >= '0' && c <= '7'; })) {
            double v = 0;
            for (std::size_t j = d; j < k; ++j)
                v = v * 8 + (s[j] - '0');
            return s[i] == '-' ? -v : v;
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

double parseInt(const std::string &s, double radixValue)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::size_t i = 0, end = s.size();
    while (i < end && isSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < end && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    int radix = std::isnan(radixValue) ? 0 : toInt32(radixValue);
    if (radix != 0 && (radix < 2 || radix > 36))
        return nan;
    if ((radix == 0 || radix == 16) && i + 1 < end && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        i += 2;
        radix = 16;
    } else if (radix == 0 && i + 1 < end && s[i] == '0') {
        // A leading zero means octal when every digit is one.
        std::size_t k = i;
        while (k < end && s[k] >= '0' && s[k] <= '7')
            ++k;
        radix = (k == end || !(s[k] >= '0' && s[k] <= '9')) ? 8 : 10;
    }
    if (radix == 0)
        radix = 10;
    double v = 0;
    bool any = false;
    for (; i < end; ++i) {
        int d = digitValue(s[i]);
        if (d >= radix)
            break;
        v = v * radix + d;
        any = true;
    }
    if (!any)
        return nan;
    return negative ? -v : v;
}

double parseFloat(const std::string &s)
{
    std::size_t i = 0, end = s.size();
    while (i < end && isSpace(s[i]))
        ++i;
    const std::size_t k = decimalPrefixEnd(s, i);
    if (k == std::string::npos)
        return std::numeric_limits<double>::quiet_NaN();
    return std::strtod(s.substr(i, k - i).c_str(), nullptr);
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
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
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

} // namespace velmora::swf::avm1
