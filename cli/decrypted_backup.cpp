#include "cli/decrypted_backup.h"

#include <unistd.h>

#include <cstdio>

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

}  // namespace

Status DecryptedBackup::Open(const fs::path& backup, const std::string& password) {
  fs::path dataFolder;
  if (const Status rc = DataFolder(dataFolder); rc != kOk) {
    error_ = "there is no data folder: " + StatusText(rc);
    return rc;
  }
  DecryptorRun run;
  if (const Status rc = WorkspaceRoot(dataFolder, workFolder_, run.workspaceRoot, error_); rc != kOk) return rc;
  RemoveEndedWorkspaces(run.workspaceRoot);
  std::int32_t base = 0;
  run.workspace = &workspace_;
  run.programDirectory = HelperDirectory();
  run.dataFolder = dataFolder;
  run.backupFolder = backup;
  run.password = password;
  run.callback = ::isatty(STDERR_FILENO) != 0 ? &ShowProgress : nullptr;
  run.progressBase = &base;
  run.stepWeight = 99;
  const Status rc = RunDecryptor(run, copyFolder_, error_);
  if (run.callback != nullptr) std::fputc('\n', stderr);
  return rc;
}

}  // namespace dunmere::cli
