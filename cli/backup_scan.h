#pragma once
// Running the ticked categories of a backup in the program's fixed order, for the scan and export
// commands.
#include <map>
#include <set>
#include <string>

#include "backup/backup_engine.h"
#include "export/export_run.h"

namespace dunmere::cli {

// The category names of the command line, in the order the scan runs them.
const std::vector<std::string>& CategoryNames();
bool IsKnownCategory(const std::string& name);

struct ScanOutcome {
  ScanResults results;
  std::map<std::string, Status> codes;  // by category name, for the categories that ran
  // What could not be read, a line each: the backup not opened, the manifest, a category's database.
  std::vector<std::string> problems;
};

// The problems joined into one line ("" when there are none).
std::string ProblemLine(const ScanOutcome& outcome);

// Summarises the backup folder, asks for the password of an encrypted one and opens it in the engine,
// with a progress figure on a terminal. Returns the exit status to end with (1 not a backup, no
// password or the backup could not be opened, its reason told on standard error and kept in problems;
// 3 wrong password), or -1 to go on; opened receives the open's result.
// summary receives the backup's summary as listed; shown keeps the progress figure and must outlive
// the scan.
int OpenBackup(const std::filesystem::path& folder, bool passwordFromStdin, CBackupEngine& engine,
               BackupSummary& summary, std::int32_t& shown, Status& opened, ScanOutcome& outcome);

// Runs the chosen categories (all when chosen is empty) on an opened engine; ends the progress figure.
// The manifest's problem and every category that failed are added to problems.
void ScanCategories(CBackupEngine& engine, const std::set<std::string>& chosen, std::int32_t shown,
                    ScanOutcome& outcome);

// The work both the scan and export commands begin with: the category names checked, the backup
// opened (OpenBackup), the categories run. The exit status to end with, or -1 to go on.
int OpenAndScan(const std::filesystem::path& folder, bool passwordFromStdin, const std::vector<std::string>& categories,
                CBackupEngine& engine, BackupSummary& summary, Status& opened, ScanOutcome& outcome);

}  // namespace dunmere::cli
