#pragma once
#include <filesystem>
#include <optional>

namespace dunmere {

// Whether a backup is encrypted: "Manifest.plist"'s IsEncrypted when it has one (a damaged or zeroed
// database never makes a plain backup encrypted). Otherwise the contacts database (at its place in
// the backup's layout, or the same name with ".mddata") is read: a plain backup's begins with
// "SQLite" (any letter case); with no contacts database either, the backup is taken as plain.
bool IsBackupEncrypted(const std::filesystem::path& backupFolder);

// The IsEncrypted flag of the folder's "Manifest.plist" (XML or binary); nothing when the file, the
// key or a readable list is missing.
std::optional<bool> ManifestPlistEncryptedFlag(const std::filesystem::path& backupFolder);

// The same, false when it is missing.
bool ManifestPlistSaysEncrypted(const std::filesystem::path& backupFolder);

}  // namespace dunmere
