#include "platform/app_data.h"

#include <cstdlib>

namespace dunmere {
namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

// DUNMERE_APPDATA when set; else the XDG variable when it holds an absolute path (one that does not
// is to be ignored); else the folder under the home folder (on macOS that one always).
Status UserFolder(const char* xdgVariable, const char* underHome, const char* underHomeMac, std::filesystem::path& out) {
  if (const char* over = NonEmptyEnv("DUNMERE_APPDATA")) {
    out = over;
    return kOk;
  }
#if defined(__APPLE__)
  (void)xdgVariable;
  (void)underHome;
  const char* relative = underHomeMac;
#else
  (void)underHomeMac;
  if (const char* xdg = NonEmptyEnv(xdgVariable); xdg != nullptr && xdg[0] == '/') {
    out = xdg;
    return kOk;
  }
  const char* relative = underHome;
#endif
  if (const char* home = NonEmptyEnv("HOME")) {
    out = std::filesystem::path(home) / relative;
    return kOk;
  }
  out.clear();
  return kPathNotFound;
}

}  // namespace

Status AppDataFolder(std::filesystem::path& out) {
  return UserFolder("XDG_DATA_HOME", ".local/share", "Library/Application Support", out);
}

Status ConfigFolder(std::filesystem::path& out) { return UserFolder("XDG_CONFIG_HOME", ".config", "Library/Preferences", out); }

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
