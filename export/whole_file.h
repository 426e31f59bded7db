#pragma once
// Files the export writes whole or not at all: each is written under a name of its own beside it
// (this process and a random number) and renamed over its path once complete, so that two exports
// into one folder never mix their lines and a write that fails leaves no half file behind. The
// folder is made first.
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "platform/file_util.h"
#include "platform/status.h"

namespace dunmere {

// write(part) writes the whole file at part and returns its status.
template <typename Write>
Status WriteWhole(const std::filesystem::path& path, Write write) {
  if (path.has_parent_path()) CreateFolders(path.parent_path());
  const std::filesystem::path part =
      path.string() + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}());
  Status rc = write(part);
  std::error_code ec;
  if (rc == kOk) {
    std::filesystem::rename(part, path, ec);
    if (ec) rc = StatusFromErrno(ec.value());
  }
  if (rc != kOk) std::filesystem::remove(part, ec);
  return rc;
}

// A text as a whole file.
Status WriteWholeText(const std::filesystem::path& path, const std::string& text);

}  // namespace dunmere
