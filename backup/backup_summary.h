#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

namespace dunmere {

// One backup as listed: what "Info.plist" says of it and whether it is encrypted.
struct BackupSummary {
  bool encrypted = false;             // the contacts database does not begin with "SQLite"
  bool versionAbove11 = false;        // "Product Version" 12 or later: the newer table layouts
  std::string lastBackupDate;         // local "YYYY-MM-DD hh:mm:ss", or the raw value
  std::int64_t lastBackupUnix = 0;    // the same date in Unix seconds; 0 when it is not known
  std::string phoneNumber;            // bytes as stored
  std::string serialNumber;           // bytes as stored
  std::filesystem::path folderPath;   // the backup folder, no trailing separator
  std::string displayName;            // UTF-8, ill-formed bytes shown as U+FFFD

  bool operator==(const BackupSummary&) const = default;
};

}  // namespace dunmere
