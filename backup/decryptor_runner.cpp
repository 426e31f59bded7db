#include "backup/decryptor_runner.h"

#include <cstdlib>
#include <fstream>

#include "backup/polled_process.h"
#include "backup/work_folders.h"
#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

Status InstallDecryptor(const fs::path& programDirectory, const fs::path& dataFolder, fs::path& installed) {
  installed = dataFolder / "tool";
  std::error_code ec;
  if (!FileExists(programDirectory / "tool") || CreateFolders(dataFolder) != kOk) return kInvalidParameter;
  fs::copy_file(programDirectory / "tool", installed, fs::copy_options::overwrite_existing, ec);
  if (ec) return kInvalidParameter;
  {
    std::fstream file(installed, std::ios::in | std::ios::out | std::ios::binary);
    file.write("\x7f" "ELF", 4);  // the signature the shipped copy lacks
    if (!file) return kInvalidParameter;
  }
  fs::permissions(installed, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec, ec);
  return ec ? kInvalidParameter : kOk;
}

Status RunDecryptor(const DecryptorRun& run, fs::path& copyFolder) {
  fs::path program;
  if (InstallDecryptor(run.programDirectory, run.dataFolder, program) != kOk) return kInvalidParameter;
  copyFolder = DecryptedCopyFolder();
  if (copyFolder.empty() || CreateFolders(copyFolder) != kOk) return kInvalidParameter;

  const std::uint64_t fileCount = run.fileCount == 0 ? 1 : run.fileCount;
  std::int32_t localBase = 0;
  std::int32_t& base = run.progressBase != nullptr ? *run.progressBase : localBase;
  // The password goes through the decryptor's standard input: an argument would show in the process list.
  const Status result = RunPolled(
      {program.string(), run.backupFolder.string(), copyFolder.string()}, run.password + "\n",
      [&](std::string_view text) -> Status {
        if (text.find("Wrong password") != std::string_view::npos) return kWrongPassword;
        std::int64_t count = 0;
        if (const std::size_t at = text.find("Count:"); at != std::string_view::npos) {
          if (base == 0) {
            base = 1;
            if (run.callback != nullptr) {
              if (const Status answer = run.callback(run.user, 1); answer != kOk) return answer;
            }
          }
          const std::string number(text.substr(at + 6, 32));
          count = std::strtoll(number.c_str(), nullptr, 10);
        }
        if (run.callback == nullptr) return kOk;
        return run.callback(run.user, static_cast<std::int32_t>(base + static_cast<std::int64_t>(run.stepWeight) *
                                                                           count / static_cast<std::int64_t>(fileCount)));
      });
  if (run.callback != nullptr) run.callback(run.user, base + run.stepWeight);
  return result;
}

}  // namespace dunmere
