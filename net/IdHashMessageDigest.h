#pragma once
// MD5 (RFC 1321): the digest APOP sends instead of the password.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class TIdHashMessageDigest5 {
public:
    using TDigest = std::array<uint8_t, 16>;

    // The 16-byte digest of the bytes, first byte first.
    static TDigest HashValue(std::string_view bytes);
    // 32 lower-case hexadecimal digits, first byte first.
    static std::string AsHex(const TDigest& digest);
    static std::string HashValueAsHex(std::string_view bytes) { return AsHex(HashValue(bytes)); }
};
