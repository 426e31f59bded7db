#pragma once
#include <string>

namespace dunmere {

// One file of a backup as its manifest lists it.
struct ManifestEntry {
  std::string domainPath;  // domain, "-", relative path; bytes as stored (UTF-8)
  std::string fileID;      // 40 lowercase hexadecimal digits
};

}  // namespace dunmere
