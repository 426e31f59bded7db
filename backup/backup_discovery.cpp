#include "backup/backup_discovery.h"

#include <algorithm>

#include "backup/encryption_test.h"
#include "backup/info_plist.h"
#include "platform/app_data.h"
#include "platform/file_util.h"
#include "platform/text_compare.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

fs::path WithoutTrailingSeparator(fs::path folder) {
  while (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
  return folder;
}

}  // namespace

bool ListCandidates(const fs::path& root, std::vector<fs::path>& candidates, std::uint64_t& totalSize) {
  candidates.clear();
  return ListFolder(root, candidates, totalSize);
}

Status ListDefaultCandidates(std::vector<fs::path>& candidates, std::uint64_t& totalSize) {
  candidates.clear();
  std::vector<fs::path> roots;
  const Status rc = DefaultBackupRoots(roots);
  if (rc != kOk) return rc;
  for (const fs::path& root : roots) ListFolder(root, candidates, totalSize);
  return kOk;
}

Status SummariseFolder(const fs::path& folder, BackupSummary& summary) {
  summary = BackupSummary{};
  summary.folderPath = WithoutTrailingSeparator(folder);
  if (ReadInfoPlist(summary.folderPath / "Info.plist", summary) != kOk) return kInvalidParameter;
  summary.encrypted = IsBackupEncrypted(summary.folderPath);
  return kOk;
}

std::vector<BackupSummary> SummariseCandidates(const std::vector<fs::path>& candidates) {
  std::vector<BackupSummary> summaries;
  for (const fs::path& candidate : candidates) {
    BackupSummary summary;
    if (SummariseFolder(candidate, summary) == kOk) summaries.push_back(std::move(summary));
  }
  SortNewestFirst(summaries);
  return summaries;
}

void SortNewestFirst(std::vector<BackupSummary>& summaries) {
  std::stable_sort(summaries.begin(), summaries.end(), [](const BackupSummary& a, const BackupSummary& b) {
    return CompareNoCase(a.lastBackupDate, b.lastBackupDate) > 0;
  });
}

}  // namespace dunmere
