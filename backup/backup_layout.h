#pragma once
// Where a file of a backup lies on disk, given its file ID. Three layouts exist: two-level folders
// named by the first two digits (backups with "Manifest.db"), flat files (older backups with
// "Manifest.mbdb"), and the flat decrypted copy of an encrypted backup.
#include <filesystem>
#include <string_view>

#include "backup/manifest_entry.h"

namespace dunmere {

struct BackupLayout {
  std::filesystem::path backupPath;  // the backup folder, or the decrypted copy when encrypted
  bool encrypted = false;
  bool hasManifestDb = false;

  // Path of a file by its ID. Does not test whether the file exists. An ID that is empty or holds
  // a path separator gives an empty path, which no file operation accepts.
  std::filesystem::path PathOf(std::string_view fileID) const;
  std::filesystem::path DatabasePath(std::string_view fileID) const { return PathOf(fileID); }
  std::filesystem::path MediaPath(const ManifestEntry& entry) const { return PathOf(entry.fileID); }

  // The call-history database: the newer store when its file exists, else the older database.
  std::filesystem::path CallHistoryDatabasePath() const;
};

// Whether a backup folder is in the two-level layout: it holds "Manifest.db".
bool HasManifestDb(const std::filesystem::path& backupFolder);

}  // namespace dunmere
