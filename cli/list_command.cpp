#include <cstdio>
#include <iostream>
#include <vector>

#include "backup/backup_discovery.h"
#include "cli/commands.h"
#include "cli/summary_json.h"
#include "cli/terminal_text.h"
#include "platform/app_data.h"
#include "platform/file_util.h"

namespace dunmere::cli {
namespace fs = std::filesystem;

namespace {

void PrintTable(const std::vector<BackupSummary>& summaries) {
  std::printf("%-19s  %-24s  %-18s  %-14s  %-9s  %s\n", "Last backup", "Device", "Phone", "Serial", "Encrypted",
              "Folder");
  for (const BackupSummary& s : summaries) {
    std::printf("%-19s  %-24s  %-18s  %-14s  %-9s  %s\n", TerminalText(s.lastBackupDate).c_str(),
                TerminalText(s.displayName).c_str(), TerminalText(s.phoneNumber).c_str(),
                TerminalText(s.serialNumber).c_str(), s.encrypted ? "yes" : "no",
                TerminalText(s.folderPath.string()).c_str());
  }
}

}  // namespace

int RunList(const ListOptions& options) {
  std::vector<fs::path> candidates;
  std::uint64_t totalSize = 0;
  std::vector<fs::path> roots;
  if (options.root) {
    if (!FolderExists(*options.root)) {
      std::cerr << "dunmere: " << options.root->string() << " is not a folder\n";
      return 1;
    }
    roots.push_back(fs::absolute(*options.root));
    ListCandidates(roots.back(), candidates, totalSize);
  } else {
    if (DefaultBackupRoots(roots) != kOk || ListDefaultCandidates(candidates, totalSize) != kOk) {
      std::cerr << "dunmere: the application-data folder is not known (set HOME or DUNMERE_APPDATA)\n";
      return 1;
    }
  }
  const std::vector<BackupSummary> summaries = SummariseCandidates(candidates);
  if (options.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const BackupSummary& s : summaries) list.push_back(SummaryToJson(s));
    std::cout << DumpJson(nlohmann::ordered_json{{"backups", list}}) << '\n';
    return 0;
  }
  if (summaries.empty()) {
    std::cout << "No backups found under:";
    for (const fs::path& root : roots) std::cout << ' ' << root.string();
    std::cout << '\n';
    return 0;
  }
  PrintTable(summaries);
  return 0;
}

}  // namespace dunmere::cli
