#pragma once
// Runs the decryptor program on an encrypted backup: it writes a plain copy of the backup into the
// decrypted copy folder and prints "Count: N" as it goes, or "Wrong password".
#include <cstdint>
#include <filesystem>
#include <string>

#include "backup/progress.h"
#include "platform/status.h"

namespace dunmere {

struct DecryptorRun {
  std::filesystem::path programDirectory;  // where "tool" ships
  std::filesystem::path dataFolder;        // where it is copied, runnable, as "tool"
  std::filesystem::path backupFolder;
  std::string password;
  std::uint64_t fileCount = 0;  // files of the backup, the measure of progress (0 counts as 1)
  ProgressCallback callback = nullptr;
  void* user = nullptr;
  std::int32_t* progressBase = nullptr;  // the running base; set to 1 at the first count
  std::int32_t stepWeight = 0;
};

// 0 when the decryptor ran to its end; -110 for a wrong password; 87 when it could not be started;
// a callback's non-zero answer when it asked to stop (the decryptor is then ended). copyFolder
// receives the decrypted copy folder. The password reaches the decryptor through its standard input,
// never its command line.
Status RunDecryptor(const DecryptorRun& run, std::filesystem::path& copyFolder);

// Copies the shipped decryptor (whose first bytes are altered) to the data folder as a runnable
// program. 87 when it is missing or cannot be written.
Status InstallDecryptor(const std::filesystem::path& programDirectory, const std::filesystem::path& dataFolder,
                        std::filesystem::path& installed);

}  // namespace dunmere
