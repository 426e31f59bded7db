#pragma once
// Finding the backups on this computer and summarising each of them.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "backup/backup_summary.h"
#include "platform/status.h"

namespace dunmere {

// Every entry of root (one level, dot-names skipped) becomes a candidate; entries that are files
// fall out later for want of an "Info.plist". candidates is replaced; the entries' sizes are added
// to totalSize. False when root cannot be read.
bool ListCandidates(const std::filesystem::path& root, std::vector<std::filesystem::path>& candidates,
                    std::uint64_t& totalSize);

// The candidates under the system's default backup roots. Fails only when the application-data
// folder is not known; roots that do not exist add nothing.
Status ListDefaultCandidates(std::vector<std::filesystem::path>& candidates, std::uint64_t& totalSize);

// Summarises one folder: "Info.plist" and the encryption test. 87 when "Info.plist" cannot be
// opened (summary then holds only folderPath).
Status SummariseFolder(const std::filesystem::path& folder, BackupSummary& summary);

// Summaries of every candidate that has a readable "Info.plist", newest first.
std::vector<BackupSummary> SummariseCandidates(const std::vector<std::filesystem::path>& candidates);

// Stable sort by lastBackupDate compared without regard to letter case, greatest first, so that the
// newest backup leads and equal dates keep their order.
void SortNewestFirst(std::vector<BackupSummary>& summaries);

}  // namespace dunmere
