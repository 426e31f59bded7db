#include "platform/app_data.h"

#include <cstdlib>

namespace dunmere {
namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

}  // namespace

Status AppDataFolder(std::filesystem::path& out) {
  if (const char* over = NonEmptyEnv("DUNMERE_APPDATA")) {
    out = over;
    return kOk;
  }
#if defined(__APPLE__)
  if (const char* home = NonEmptyEnv("HOME")) {
    out = std::filesystem::path(home) / "Library" / "Application Support";
    return kOk;
  }
#else
  // An XDG path that is not absolute is to be ignored.
  if (const char* xdg = NonEmptyEnv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    out = xdg;
    return kOk;
  }
  if (const char* home = NonEmptyEnv("HOME")) {
    out = std::filesystem::path(home) / ".local" / "share";
    return kOk;
  }
#endif
  out.clear();
  return kPathNotFound;
}

Status ConfigFolder(std::filesystem::path& out) {
  if (const char* over = NonEmptyEnv("DUNMERE_APPDATA")) {
    out = over;
    return kOk;
  }
#if defined(__APPLE__)
  if (const char* home = NonEmptyEnv("HOME")) {
    out = std::filesystem::path(home) / "Library" / "Preferences";
    return kOk;
  }
#else
  if (const char* xdg = NonEmptyEnv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    out = xdg;
    return kOk;
  }
  if (const char* home = NonEmptyEnv("HOME")) {
    out = std::filesystem::path(home) / ".config";
    return kOk;
  }
#endif
  out.clear();
  return kPathNotFound;
}

Status DefaultBackupRoots(std::vector<std::filesystem::path>& out) {
  out.clear();
  std::filesystem::path appData;
  const Status rc = AppDataFolder(appData);
  if (rc != kOk) return rc;
  out.push_back(appData / "Apple Computer" / "MobileSync" / "Backup");
#if defined(__APPLE__)
  if (std::getenv("DUNMERE_APPDATA") == nullptr) {
    out.push_back(appData / "MobileSync" / "Backup");
  }
#endif
  return kOk;
}

}  // namespace dunmere
