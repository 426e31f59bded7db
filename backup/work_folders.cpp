#include "backup/work_folders.h"

#include <mutex>

#include "platform/app_data.h"
#include "platform/disk_space.h"
#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

Status DataFolder(fs::path& out) {
  fs::path appData;
  const Status rc = AppDataFolder(appData);
  if (rc != kOk) {
    out.clear();
    return rc;
  }
  out = appData / kDataFolderName;
  return CreateFolders(out);
}

fs::path ChooseWorkFolder(const fs::path& appData, const std::vector<fs::path>& candidates,
                          const FreeSpaceQuery& freeBytes) {
  std::uint64_t free = 0;
  if (!appData.empty() && freeBytes(appData, free) && free > kWorkFolderFreeSpaceThreshold) {
    return appData / kWorkFolderParentName / kWorkFolderName;
  }
  fs::path chosen;
  std::uint64_t best = 0;
  for (const fs::path& candidate : candidates) {
    std::uint64_t candidateFree = 0;
    if (!freeBytes(candidate, candidateFree)) continue;
    if (candidateFree > best) {
      best = candidateFree;
      chosen = candidate / kWorkFolderName;
    }
  }
  return chosen;
}

const fs::path& TempWorkFolder() {
  // Chosen once per process so that the folder never moves while the program runs.
  static fs::path folder;
  static std::once_flag once;
  std::call_once(once, [] {
    fs::path appData;
    if (AppDataFolder(appData) != kOk) appData.clear();
    folder = ChooseWorkFolder(appData, WorkFolderCandidates(appData), &FreeBytes);
    // Failures are not reported here: they show in the file operations that use the folder.
    if (!folder.empty() && CreateFolders(folder) == kOk) HideFolder(folder);
  });
  return folder;
}

}  // namespace dunmere
