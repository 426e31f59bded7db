#pragma once
// An encrypted backup opened for the command line: decrypted into the work folder with progress on
// the terminal, and the plain copy removed again when the object goes.
#include <filesystem>
#include <string>

#include "platform/status.h"

namespace dunmere::cli {

class DecryptedBackup {
 public:
  DecryptedBackup() = default;
  ~DecryptedBackup();
  DecryptedBackup(const DecryptedBackup&) = delete;
  DecryptedBackup& operator=(const DecryptedBackup&) = delete;

  // 0, -110 for a wrong password, or the runner's code.
  Status Open(const std::filesystem::path& backup, const std::string& password);
  const std::filesystem::path& copyFolder() const { return copyFolder_; }

 private:
  std::filesystem::path dataFolder_;
  std::filesystem::path copyFolder_;
};

}  // namespace dunmere::cli
