#include "cli/decrypted_backup.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

#include "backup/decryptor_runner.h"
#include "backup/work_folders.h"
#include "platform/program_dir.h"

namespace dunmere::cli {
namespace fs = std::filesystem;

namespace {

Status ShowProgress(void*, std::int32_t progress) {
  std::fprintf(stderr, "\rDecrypting %3d%%", progress > 100 ? 100 : progress);
  std::fflush(stderr);
  return kOk;
}

std::uint64_t CountFiles(const fs::path& folder) {
  std::uint64_t count = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file(ec)) ++count;
  }
  return count;
}

}  // namespace

DecryptedBackup::~DecryptedBackup() {
  if (dataFolder_.empty()) return;
  // No decrypted byte outlives the command.
  std::vector<fs::path> none;
  CleanUpTemporaryFiles(dataFolder_, none);
}

Status DecryptedBackup::Open(const fs::path& backup, const std::string& password) {
  if (const Status rc = DataFolder(dataFolder_); rc != kOk) return rc;
  std::int32_t base = 0;
  DecryptorRun run;
  run.programDirectory = ProgramDirectory();
  run.dataFolder = dataFolder_;
  run.backupFolder = backup;
  run.password = password;
  run.fileCount = CountFiles(backup);
  run.callback = ::isatty(STDERR_FILENO) != 0 ? &ShowProgress : nullptr;
  run.progressBase = &base;
  run.stepWeight = 99;
  const Status rc = RunDecryptor(run, copyFolder_);
  if (run.callback != nullptr) std::fputc('\n', stderr);
  return rc;
}

}  // namespace dunmere::cli
