#include "fuzz/backup_files_fuzz_entry.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "backup/backup_summary.h"
#include "backup/encryption_test.h"
#include "backup/info_plist.h"
#include "backup/manifest_reader.h"
#include "platform/plist_limits.h"

namespace dunmere {
namespace fs = std::filesystem;

std::size_t RunBackupFilesOnBytes(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<ManifestEntry> entries;
  ParseMbdb(bytes, entries);
  std::size_t result = entries.size() + (PlistWithinLimits(bytes) ? 1 : 0);

  // The readers that take a folder: a scratch folder of this process with the bytes in both names.
  static const fs::path folder = fs::temp_directory_path() / ("dunmere-fuzz-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  for (const char* name : {"Info.plist", "Manifest.plist"}) {
    std::ofstream(folder / name, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(size));
  }
  BackupSummary summary;
  ReadInfoPlist(folder / "Info.plist", summary);
  result += summary.displayName.size() + (ManifestPlistEncryptedFlag(folder) ? 1 : 0);
  std::error_code ec;
  fs::remove_all(folder, ec);
  return result;
}

}  // namespace dunmere
