#pragma once
// Decrypts an encrypted backup into a folder: every file the manifest lists, written flat under its
// file ID, and the plain manifest as "Manifest.db-decypted" (backups with "Manifest.db").
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace dunmere::decryptor {

inline constexpr int kDecryptOk = 0;
inline constexpr int kDecryptWrongPassword = -110;
inline constexpr int kDecryptFailed = 1;

struct DecryptEvents {
  std::function<void(std::uint64_t filesDone)> progress;  // after each file
  std::function<void(const std::string& message)> warning;  // a file skipped or suspicious
};

// 0, -110 for a wrong password, 1 when the backup cannot be decrypted at all (the reason goes to
// warning). Files that fail alone are skipped, never written in part.
int DecryptBackup(const std::filesystem::path& backup, const std::filesystem::path& out, const std::string& password,
                  const DecryptEvents& events);

}  // namespace dunmere::decryptor
