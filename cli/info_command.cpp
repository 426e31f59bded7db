#include <iostream>
#include <vector>

#include "backup/backup_discovery.h"
#include "backup/manifest_reader.h"
#include "cli/commands.h"
#include "cli/decrypted_backup.h"
#include "cli/password_input.h"
#include "cli/summary_json.h"
#include "cli/terminal_text.h"
#include "platform/file_util.h"

namespace dunmere::cli {
namespace fs = std::filesystem;

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
  // An encrypted backup's manifest is read from its decrypted copy when a password is at hand.
  DecryptedBackup decrypted(options.workFolder);
  fs::path copy;
  if (summary.encrypted) {
    if (const std::optional<std::string> password = ReadPassword(options.passwordFromStdin)) {
      const Status opened = decrypted.Open(summary.folderPath, *password);
      if (opened == kWrongPassword) {
        std::cerr << "dunmere: wrong password for " << summary.folderPath.string() << '\n';
        return 3;
      }
      if (opened != kOk) {
        std::cerr << "dunmere: the backup could not be decrypted: " << TerminalText(decrypted.error()) << '\n';
        return 1;
      }
      copy = decrypted.copyFolder();
    }
  }
  std::vector<ManifestEntry> entries;
  ManifestChoice choice;
  const Status manifestResult = ReadManifest(summary.folderPath, entries, &choice, copy);
  std::string problem = ManifestProblemText(choice, manifestResult, entries.size());
  if (!problem.empty() && summary.encrypted && copy.empty()) {
    problem = "the manifest is encrypted: give the password to read it";
  }

  if (options.json) {
    nlohmann::ordered_json document{
        {"backup", SummaryToJson(summary)},
        {"manifest",
         {{"kind", ManifestKindName(choice.kind)}, {"result", manifestResult}, {"entries", entries.size()}}},
    };
    if (!problem.empty()) document["manifest"]["problem"] = problem;
    std::cout << DumpJson(document) << '\n';
    return 0;
  }
  std::cout << "Device:        " << TerminalText(summary.displayName) << '\n'
            << "Last backup:   " << TerminalText(summary.lastBackupDate) << '\n'
            << "Phone number:  " << TerminalText(summary.phoneNumber) << '\n'
            << "Serial number: " << TerminalText(summary.serialNumber) << '\n'
            << "iOS 12 or later: " << (summary.versionAbove11 ? "yes" : "no") << '\n'
            << "Encrypted:     " << (summary.encrypted ? "yes" : "no") << '\n'
            << "Folder:        " << TerminalText(summary.folderPath.string()) << '\n'
            << "Manifest:      " << ManifestKindName(choice.kind) << " (result " << manifestResult << ", "
            << entries.size() << " entries)\n";
  if (!problem.empty()) std::cout << "Problem:       " << TerminalText(problem) << '\n';
  return 0;
}

}  // namespace dunmere::cli
