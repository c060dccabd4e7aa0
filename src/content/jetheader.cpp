#include "content/jetheader.h"

#include "content/contenterror.h"
#include "content/jettext.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace velmora::content {

void rc4Apply(std::span<const uint8_t> key, std::span<uint8_t> data)
{
    std::array<uint8_t, 256> s;
    for (size_t i = 0; i < 256; ++i)
        s[i] = static_cast<uint8_t>(i);
    uint8_t j = 0;
    for (size_t i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    uint8_t a = 0;
    uint8_t b = 0;
    for (uint8_t &byte : data) {
        a = static_cast<uint8_t>(a + 1);
        b = static_cast<uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<uint8_t>(s[a] + s[b])];
    }
}

void applyPageKey(uint32_t pageKey, uint32_t page, std::span<uint8_t> data)
{
    const uint32_t k = pageKey ^ page;
    const std::array<uint8_t, 4> key{static_cast<uint8_t>(k), static_cast<uint8_t>(k >> 8),
                                     static_cast<uint8_t>(k >> 16), static_cast<uint8_t>(k >> 24)};
    rc4Apply(key, data);
}

std::array<uint8_t, 4> passwordMask(double creationDate)
{
    // Truncation toward zero, as the engine does; out-of-range dates give no mask
    // rather than undefined behaviour.
    int32_t day = 0;
    if (std::isfinite(creationDate) && creationDate > std::numeric_limits<int32_t>::min() &&
        creationDate < std::numeric_limits<int32_t>::max())
        day = static_cast<int32_t>(creationDate);
    const auto u = static_cast<uint32_t>(day);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

bool JetHeader::hasPassword() const
{
    for (uint8_t b : password) {
        if (b != 0)
            return true;
    }
    return false;
}

std::string JetHeader::passwordText() const
{
    size_t units = 0;
    while (units < kPasswordBytes / 2 && (password[2 * units] != 0 || password[2 * units + 1] != 0))
        ++units;
    return utf16leToUtf8(std::string_view(reinterpret_cast<const char *>(password.data()), units * 2));
}

bool JetHeader::passwordMatches(std::string_view candidate) const
{
    const std::string utf16 = utf8ToUtf16le(candidate);
    if (utf16.size() > kPasswordBytes)
        return false; // more than 20 characters cannot have been stored
    std::array<uint8_t, kPasswordBytes> padded{};
    std::memcpy(padded.data(), utf16.data(), utf16.size());
    return padded == password;
}

Result<JetHeader> parseJetHeader(std::span<const uint8_t> bytes, std::string_view path)
{
    const Error unrecognized = contentError(ContentError::UnrecognizedFormat, path);
    if (bytes.size() < kHeaderRegionStart + kHeaderRegionSize)
        return unrecognized;
    if (bytes[0] != 0 || std::memcmp(bytes.data() + kMagicOffset, kJetMagic, sizeof kJetMagic) != 0)
        return unrecognized;
    JetHeader header;
    switch (bytes[kVersionOffset]) {
    case 0:
        header.version = JetVersion::Jet3;
        return header;
    case 1:
        header.version = JetVersion::Jet4;
        break;
    default:
        header.version = JetVersion::Newer;
        return header;
    }
    std::array<uint8_t, kHeaderRegionSize> region;
    std::memcpy(region.data(), bytes.data() + kHeaderRegionStart, region.size());
    rc4Apply(kHeaderKey, region);
    auto at = [&](size_t offset) { return region.data() + (offset - kHeaderRegionStart); };
    header.pageKey = readLe32(at(kPageKeyOffset));
    std::memcpy(&header.creationDate, at(kCreationDateOffset), sizeof(double));
    const std::array<uint8_t, 4> mask = passwordMask(header.creationDate);
    for (size_t i = 0; i < kPasswordBytes; ++i)
        header.password[i] = at(kPasswordOffset)[i] ^ mask[i % 4];
    return header;
}

} // namespace velmora::content
