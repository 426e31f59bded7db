#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#include <filesystem>
#include <map>
#include <string>

namespace dunmere::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& rest) const { return path_ / rest; }

 private:
  std::filesystem::path path_;
};

// Writes bytes to path, creating its parent folders.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// Every file and folder below root with its bytes (folders map to "<dir>"), to prove that a
// command left a tree exactly as it was.
std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& root);

}  // namespace dunmere::testing
