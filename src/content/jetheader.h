// The Jet database header (page 0): format version, page key, creation date and the
// masked database password, and the RC4 step that obscures part of it.
#pragma once

#include "common/result.h"
#include "content/jetlayout.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora::content {

// Plain RC4 (key schedule + keystream XOR) in place; encrypting and decrypting are one step.
void rc4Apply(std::span<const uint8_t> key, std::span<uint8_t> data);
// RC4 as the engine applies it to page `page` when the header's page key is non-zero.
void applyPageKey(uint32_t pageKey, uint32_t page, std::span<uint8_t> data);

enum class JetVersion { Jet3 = 0, Jet4 = 1, Newer };

struct JetHeader {
    JetVersion version = JetVersion::Jet4;
    uint32_t pageKey = 0;
    double creationDate = 0;
    // The password area after unmasking: UTF-16LE, zero-padded; all zero = no password.
    std::array<uint8_t, kPasswordBytes> password{};

    bool hasPassword() const;
    // The stored password as UTF-8 (for tools; the check compares the UTF-16 bytes).
    std::string passwordText() const;
    // Exact, case-sensitive comparison of `candidate` (UTF-8) with the stored password.
    bool passwordMatches(std::string_view candidate) const;
};

// Reads the header from at least the first 0x98 bytes of a file. Fails with
// UnrecognizedFormat for anything but a Jet header; Jet 3 and newer formats are read
// far enough to say which they are.
Result<JetHeader> parseJetHeader(std::span<const uint8_t> bytes, std::string_view path);

// The 4 bytes that mask the password area: int32 LE of the creation date truncated.
std::array<uint8_t, 4> passwordMask(double creationDate);

} // namespace velmora::content
