#pragma once
#include <filesystem>

namespace dunmere {

// Whether a backup is encrypted. The contacts database (at its place in the backup's layout, or
// the same name with ".mddata") is read: a plain backup's begins with "SQLite" (any letter case).
// Where that database is missing or empty, "Manifest.plist"'s IsEncrypted decides, so that an
// encrypted backup without a contacts database is not taken as plain.
bool IsBackupEncrypted(const std::filesystem::path& backupFolder);

// The IsEncrypted flag of the folder's "Manifest.plist" (XML or binary); false when it is missing.
bool ManifestPlistSaysEncrypted(const std::filesystem::path& backupFolder);

}  // namespace dunmere
