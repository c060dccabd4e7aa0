#include "content/jettext.h"
#include "common/utf8.h"

#include "content/jetlayout.h"

#include <cstdint>

namespace velmora::content {
namespace {

void appendUtf16(std::string &out, uint32_t unit)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

constexpr uint32_t kReplacement = 0xFFFD;

} // namespace

std::string utf16leToUtf8(std::string_view utf16)
{
    std::string out;
    out.reserve(utf16.size() * 3 / 2);
    auto unitAt = [&](size_t i) {
        return uint32_t(static_cast<uint8_t>(utf16[i])) | uint32_t(static_cast<uint8_t>(utf16[i + 1])) << 8;
    };
    const size_t units = utf16.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = unitAt(2 * i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units) {
            uint32_t low = unitAt(2 * (i + 1));
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u < 0xE000) ? kReplacement : u);
    }
    return out;
}

std::string jetTextToUtf8(std::string_view stored)
{
    if (!stored.starts_with(kCompressedTextMarker))
        return utf16leToUtf8(stored);
    // Compressed: a zero byte switches between one-byte characters (high byte 0) and
    // plain two-byte units; the text starts in the one-byte mode.
    std::string expanded;
    expanded.reserve(stored.size() * 2);
    bool compressed = true;
    size_t i = kCompressedTextMarker.size();
    while (i < stored.size()) {
        if (stored[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            expanded += stored[i];
            expanded += '\0';
            ++i;
        } else {
            if (i + 1 >= stored.size())
                break;
            expanded += stored[i];
            expanded += stored[i + 1];
            i += 2;
        }
    }
    return utf16leToUtf8(expanded);
}

std::string utf8ToUtf16le(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() * 2);
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        size_t length = lead < 0x80           ? 1
                        : (lead >> 5) == 0x6  ? 2
                        : (lead >> 4) == 0xE  ? 3
                        : (lead >> 3) == 0x1E ? 4
                                              : 0;
        uint32_t cp = kReplacement;
        if (length == 0 || i + length > utf8.size()) {
            length = 1;
        } else {
            cp = length == 1 ? lead : lead & (0x7F >> length);
            for (size_t k = 1; k < length; ++k) {
                const auto cont = static_cast<uint8_t>(utf8[i + k]);
                if ((cont & 0xC0) != 0x80) {
                    cp = kReplacement;
                    length = k;
                    break;
                }
                cp = (cp << 6) | (cont & 0x3F);
            }
            static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
            if (cp != kReplacement &&
                (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)))
                cp = kReplacement;
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            appendUtf16(out, 0xD800 + (cp >> 10));
            appendUtf16(out, 0xDC00 + (cp & 0x3FF));
        } else {
            appendUtf16(out, cp);
        }
    }
    return out;
}

} // namespace velmora::content
