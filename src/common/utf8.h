// One code point appended to a UTF-8 string (the caller has already replaced what is not
// a code point).
#pragma once

#include <string>

namespace velmora {

inline void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
        return;
    }
    const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    constexpr unsigned char kLead[] = {0xC0, 0xE0, 0xF0};
    out.push_back(static_cast<char>(kLead[extra - 1] | (c >> (6 * extra))));
    for (int k = extra - 1; k >= 0; --k)
        out.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
}

} // namespace velmora
