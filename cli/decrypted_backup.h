#pragma once
// An encrypted backup opened for the command line: decrypted into the run's private workspace with
// progress on the terminal; the workspace, with the plain copy, goes when the object goes.
#include <filesystem>
#include <string>

#include "backup/run_workspace.h"
#include "platform/status.h"

namespace dunmere::cli {

class DecryptedBackup {
 public:
  // workFolder: a private folder the user named for the workspace; empty for the default.
  explicit DecryptedBackup(std::filesystem::path workFolder) : workFolder_(std::move(workFolder)) {}

  // 0, -110 for a wrong password, or the runner's code with its reason in error().
  Status Open(const std::filesystem::path& backup, const std::string& password);
  const std::filesystem::path& copyFolder() const { return copyFolder_; }
  const std::string& error() const { return error_; }

 private:
  std::filesystem::path workFolder_;
  RunWorkspace workspace_;
  std::filesystem::path copyFolder_;
  std::string error_;
};

}  // namespace dunmere::cli
