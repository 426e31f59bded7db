#pragma once
// The ciphers of encrypted backups, through OpenSSL: the password derivations, AES key wrapping
// (RFC 3394) and AES-256-CBC with a zero IV and PKCS#7 padding.
#include <cstdint>
#include <string>
#include <string_view>

namespace dunmere::decryptor {

using Bytes = std::string;  // raw bytes

// PBKDF2 with HMAC-SHA256 or HMAC-SHA1, 32 bytes of output. Empty on failure.
Bytes Pbkdf2Sha256(std::string_view password, std::string_view salt, std::uint32_t iterations);
Bytes Pbkdf2Sha1(std::string_view password, std::string_view salt, std::uint32_t iterations);

// RFC 3394 unwrap with a 32-byte key. False when the integrity check fails (a wrong key).
bool AesUnwrap(std::string_view kek, std::string_view wrapped, Bytes& out);
// RFC 3394 wrap (for building test backups).
bool AesWrap(std::string_view kek, std::string_view plain, Bytes& out);

// kWriteFailed: the plain copy could not be written (a full disk): no later file can be either.
enum class CbcResult { kOk, kBadLength, kBadPadding, kFailed, kWriteFailed };

// AES-256-CBC with a zero IV; the PKCS#7 padding is checked and removed.
CbcResult AesCbcDecrypt(std::string_view key, std::string_view cipher, Bytes& out);
// The same direction reversed, padding added (for building test backups).
bool AesCbcEncrypt(std::string_view key, std::string_view plain, Bytes& out);

}  // namespace dunmere::decryptor
