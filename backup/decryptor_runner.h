#pragma once
// Runs the decryptor program on an encrypted backup: it writes a plain copy of the backup into a fresh
// folder of the run's private workspace and prints "Count: N" as it goes, or "Wrong password".
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "backup/progress.h"
#include "platform/status.h"

namespace dunmere {

class RunWorkspace;

// The name of the decrypted copy's folder inside the run's workspace.
inline constexpr char kDecryptedCopyFolderName[] = "OrvantDunmereBackupPath";

struct DecryptorRun {
  std::filesystem::path programDirectory;  // where "tool" ships
  std::filesystem::path dataFolder;        // where it is copied, runnable, as "tool"
  std::filesystem::path backupFolder;
  std::string password;
  RunWorkspace* workspace = nullptr;       // where the copy goes; created there when not yet open
  std::filesystem::path workspaceRoot;     // where a workspace not yet open is created
  // The free bytes of a file system, for the room check before decrypting (the system's by default).
  std::function<bool(const std::filesystem::path&, std::uint64_t&)> freeBytes;
  ProgressCallback callback = nullptr;
  void* user = nullptr;
  std::int32_t* progressBase = nullptr;  // the running base; set to 1 at the first count
  std::int32_t stepWeight = 0;
  // Receives, when given, the decryptor's line for each file it could not decrypt (the run goes on).
  std::vector<std::string>* undecrypted = nullptr;
};

// 0 when the decryptor ran to its end and succeeded; -110 for a wrong password; a callback's non-zero
// answer when it asked to stop (the decryptor is then ended); otherwise a failure with a one-line
// reason: 87 when it could not be started, kDiskFull when the workspace's file system cannot hold the
// copy, kHelperFailed when it failed or was killed. The copy folder starts empty for every run; it
// receives the decrypted copy folder. The password reaches the decryptor through its standard input,
// never its command line.
Status RunDecryptor(const DecryptorRun& run, std::filesystem::path& copyFolder, std::string& reason);

// Copies the shipped decryptor (whose first bytes are altered) to the data folder as a runnable
// program: written under a temporary name and renamed over the old one, so that a run starting the
// program never meets a half-written file. 87 when it is missing or cannot be written.
Status InstallDecryptor(const std::filesystem::path& programDirectory, const std::filesystem::path& dataFolder,
                        std::filesystem::path& installed);

}  // namespace dunmere
