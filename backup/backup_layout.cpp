#include "backup/backup_layout.h"

#include "backup/file_ids.h"
#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

// A file ID names one file inside the backup folder. An ID from a damaged or crafted manifest that
// would climb out of the folder or name a sub-folder is refused.
bool IsSafeFileId(std::string_view id) {
  if (id.empty() || id == "." || id == "..") return false;
  return id.find('/') == std::string_view::npos && id.find('\0') == std::string_view::npos;
}

}  // namespace

fs::path BackupLayout::PathOf(std::string_view fileID) const {
  if (!IsSafeFileId(fileID)) return fs::path();
  const std::string id(fileID);
  if (encrypted || !hasManifestDb || id.size() < 2) return backupPath / id;
  return backupPath / id.substr(0, 2) / id;
}

fs::path BackupLayout::CallHistoryDatabasePath() const {
  fs::path store = DatabasePath(kCallHistoryStoreId);
  if (FileExists(store)) return store;
  return DatabasePath(kCallHistoryDbId);
}

bool HasManifestDb(const fs::path& backupFolder) { return FileExists(backupFolder / "Manifest.db"); }

}  // namespace dunmere
