#include "backup/decryptor_runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "backup/polled_process.h"
#include "backup/run_workspace.h"
#include "platform/disk_space.h"
#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

// The backup's regular files (no link followed), counted and summed: the measure of the decryptor's
// progress and of the room its copy needs.
void MeasureBackup(const fs::path& folder, std::uint64_t& files, std::uint64_t& bytes) {
  files = bytes = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::error_code statError;
    if (!it->is_regular_file(statError) || it->is_symlink(statError)) continue;
    ++files;
    bytes += it->file_size(statError);
  }
}

std::string Megabytes(std::uint64_t bytes) { return std::to_string((bytes + 999999) / 1000000) + " MB"; }

// What the decryptor says of a file it could not decrypt, at the start of its line.
constexpr std::string_view kFileFailures[] = {"cannot unwrap the key of ", "missing file", "not whole cipher blocks",
                                              "bad padding", "cannot decrypt ", "no key for "};

// The decryptor's output as lines: the last line that is not a count is the reason of a failure; the
// lines about single files it could not decrypt are kept.
class DecryptorOutput {
 public:
  explicit DecryptorOutput(std::vector<std::string>* undecrypted) : undecrypted_(undecrypted) {}
  void Add(std::string_view piece) {
    pending_.append(piece);
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1)) {
      Line(pending_.substr(0, end));
    }
    if (pending_.size() > 4096) pending_.erase(0, pending_.size() - 4096);
  }
  std::string Take() {
    if (!pending_.empty()) Line(pending_);
    return last_;
  }

 private:
  void Line(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line.rfind("Count:", 0) == 0) return;
    last_ = line.substr(0, 300);
    if (undecrypted_ == nullptr) return;
    for (const std::string_view failure : kFileFailures) {
      if (line.rfind(failure, 0) == 0) {
        undecrypted_->push_back(last_);
        break;
      }
    }
  }
  std::vector<std::string>* undecrypted_;
  std::string pending_;
  std::string last_;
};

std::string EndText(const HelperEnd& end, const std::string& message) {
  std::string text;
  if (end.exited) {
    text = "the decryptor failed (exit status " + std::to_string(end.exitCode) + ")";
  } else {
    text = "the decryptor was ended by signal " + std::to_string(end.signal);
    if (const char* name = ::strsignal(end.signal)) text += std::string(" (") + name + ")";
  }
  return message.empty() ? text : text + ": " + message;
}

}  // namespace

Status InstallDecryptor(const fs::path& programDirectory, const fs::path& dataFolder, fs::path& installed) {
  installed = dataFolder / "tool";
  std::string bytes;
  if (ReadWholeFile(programDirectory / "tool", bytes) != kOk || bytes.size() < 4 ||
      CreateFolders(dataFolder) != kOk) {
    return kInvalidParameter;
  }
  bytes.replace(0, 4, "\x7f" "ELF");  // the signature the shipped copy lacks
  std::string name = (dataFolder / ".tool-XXXXXX").string();
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return kInvalidParameter;
  const bool written = WriteAll(fd, bytes) && ::fchmod(fd, 0700) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(name.c_str(), installed.c_str()) != 0) {
    ::unlink(name.c_str());
    return kInvalidParameter;
  }
  return kOk;
}

Status RunDecryptor(const DecryptorRun& run, fs::path& copyFolder, std::string& reason) {
  reason.clear();
  copyFolder.clear();
  if (run.workspace == nullptr) {
    reason = "there is no work folder for the decrypted copy";
    return kInvalidParameter;
  }
  if (!run.workspace->IsOpen()) {
    if (const Status rc = run.workspace->Create(run.workspaceRoot, reason); rc != kOk) return rc;
  }
  fs::path program;
  if (InstallDecryptor(run.programDirectory, run.dataFolder, program) != kOk) {
    reason = "the decryptor \"tool\" is missing beside the program or cannot be copied to " + run.dataFolder.string();
    return kInvalidParameter;
  }
  std::uint64_t fileCount = 0, bytes = 0;
  MeasureBackup(run.backupFolder, fileCount, bytes);
  fs::path copy;
  if (const Status rc = run.workspace->FreshFolder(kDecryptedCopyFolderName, copy); rc != kOk) {
    reason = "cannot prepare the folder of the decrypted copy: " + StatusText(rc);
    return rc;
  }
  std::uint64_t free = 0;
  const bool known = run.freeBytes ? run.freeBytes(copy, free) : FreeBytes(copy, free);
  if (known && free < bytes) {
    std::error_code ec;
    fs::remove_all(copy, ec);
    reason = "not enough free space for the decrypted copy in " + run.workspace->folder().parent_path().string() +
             " (" + Megabytes(bytes) + " needed, " + Megabytes(free) +
             " free): free some space, or name a private folder for it (--work-folder, or " + kWorkFolderVariable +
             ")";
    return kDiskFull;
  }

  if (fileCount == 0) fileCount = 1;
  std::int32_t localBase = 0;
  std::int32_t& base = run.progressBase != nullptr ? *run.progressBase : localBase;
  if (run.undecrypted != nullptr) run.undecrypted->clear();
  DecryptorOutput message(run.undecrypted);
  HelperEnd end;
  // The password goes through the decryptor's standard input: an argument would show in the process list.
  const Status result = RunPolled(
      {program.string(), run.backupFolder.string(), copy.string()}, run.password + "\n",
      [&](std::string_view text) -> Status {
        message.Add(text);
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
      },
      &end, run.workspace);
  if (run.callback != nullptr) run.callback(run.user, base + run.stepWeight);
  const bool succeeded = result == kOk && end.exited && end.exitCode == 0;
  if (!succeeded) {
    std::error_code ec;
    fs::remove_all(copy, ec);  // a partial copy is of no use and must not stay
  }
  if (result == kInvalidParameter && !end.exited && end.signal == 0) {
    reason = "the decryptor " + program.string() + " could not be started";
    return result;
  }
  if (result != kOk) return result;
  if (!end.exited || end.exitCode != 0) {
    reason = EndText(end, message.Take());
    return kHelperFailed;
  }
  copyFolder = copy;
  return kOk;
}

}  // namespace dunmere
