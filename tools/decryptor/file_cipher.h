#pragma once
// Decrypting one file of a backup, streamed: AES-256-CBC with a zero IV, the PKCS#7 padding checked
// and removed at the end.
#include <filesystem>
#include <string_view>

#include "tools/decryptor/backup_crypto.h"

namespace dunmere::decryptor {

// Writes the plain bytes of in (a regular file, no link followed) to out. Nothing is left at out
// unless the whole file decrypted. plainSize receives the length written.
CbcResult DecryptFile(std::string_view key, const std::filesystem::path& in, const std::filesystem::path& out,
                      std::uint64_t& plainSize);

}  // namespace dunmere::decryptor
