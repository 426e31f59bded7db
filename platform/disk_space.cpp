#include "platform/disk_space.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace dunmere {
namespace fs = std::filesystem;

namespace {

bool IsWritableFolder(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

// /proc/self/mounts escapes blanks and a few other bytes as \ooo.
std::string UnescapeMountField(const std::string& field) {
  auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
        isOctal(field[i + 3])) {
      out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                      (field[i + 3] - '0')));
      i += 3;
      continue;
    }
    out.push_back(field[i]);
  }
  return out;
}

bool IsExtraMountPoint(const std::string& mountPoint) {
  return mountPoint.rfind("/media/", 0) == 0 || mountPoint.rfind("/run/media/", 0) == 0 ||
         mountPoint.rfind("/mnt/", 0) == 0;
}

}  // namespace

bool FreeBytes(const fs::path& path, std::uint64_t& out) {
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) return false;
  out = static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
  return true;
}

std::vector<fs::path> WorkFolderCandidates(const fs::path& appData) {
  std::vector<fs::path> candidates;
  auto add = [&candidates](const fs::path& p) {
    if (p.empty() || !IsWritableFolder(p)) return;
    const fs::path normal = p.lexically_normal();
    if (std::find(candidates.begin(), candidates.end(), normal) == candidates.end()) {
      candidates.push_back(normal);
    }
  };
  add(appData);
  const char* tmp = std::getenv("TMPDIR");
  add((tmp != nullptr && tmp[0] == '/') ? fs::path(tmp) : fs::path("/tmp"));
  add("/var/tmp");
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint;
    if (!(fields >> device >> mountPoint)) continue;
    mountPoint = UnescapeMountField(mountPoint);
    if (IsExtraMountPoint(mountPoint)) add(mountPoint);
  }
  return candidates;
}

}  // namespace dunmere
