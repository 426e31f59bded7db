#include <iostream>
#include <vector>

#include "backup/backup_discovery.h"
#include "backup/manifest_reader.h"
#include "cli/commands.h"
#include "cli/summary_json.h"
#include "platform/file_util.h"

namespace dunmere::cli {

int RunInfo(const InfoOptions& options) {
  if (!FolderExists(options.backup)) {
    std::cerr << "dunmere: " << options.backup.string() << " is not a folder\n";
    return 1;
  }
  BackupSummary summary;
  if (SummariseFolder(std::filesystem::absolute(options.backup), summary) != kOk) {
    std::cerr << "dunmere: " << options.backup.string() << " is not a backup (no readable Info.plist)\n";
    return 1;
  }
  std::vector<ManifestEntry> entries;
  ManifestChoice choice;
  const Status manifestResult = ReadManifest(summary.folderPath, entries, &choice);

  if (options.json) {
    nlohmann::ordered_json document{
        {"backup", SummaryToJson(summary)},
        {"manifest",
         {{"kind", ManifestKindName(choice.kind)}, {"result", manifestResult}, {"entries", entries.size()}}},
    };
    std::cout << DumpJson(document) << '\n';
    return 0;
  }
  std::cout << "Device:        " << summary.displayName << '\n'
            << "Last backup:   " << summary.lastBackupDate << '\n'
            << "Phone number:  " << summary.phoneNumber << '\n'
            << "Serial number: " << summary.serialNumber << '\n'
            << "iOS 12 or later: " << (summary.versionAbove11 ? "yes" : "no") << '\n'
            << "Encrypted:     " << (summary.encrypted ? "yes" : "no") << '\n'
            << "Folder:        " << summary.folderPath.string() << '\n'
            << "Manifest:      " << ManifestKindName(choice.kind) << " (result " << manifestResult << ", "
            << entries.size() << " entries)\n";
  return 0;
}

}  // namespace dunmere::cli
