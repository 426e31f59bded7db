#include "backup/decryptor_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>

#include "backup/work_folders.h"
#include "platform/file_util.h"

extern char** environ;

namespace dunmere {
namespace fs = std::filesystem;

namespace {

constexpr int kPollMs = 5;
constexpr int kDrainPasses = 100;
constexpr std::size_t kReadBytes = 4096;

// A file descriptor that closes itself.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

bool MakePipe(Fd& readEnd, Fd& writeEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  readEnd.Reset(fds[0]);
  writeEnd.Reset(fds[1]);
  return true;
}

// Writes the password line to the child's standard input. A child that has already closed it must
// not take this process down with SIGPIPE.
void SendPassword(int fd, const std::string& password) {
  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &block, &old);
  const std::string line = password + "\n";
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const timespec zero{0, 0};
  while (sigtimedwait(&block, nullptr, &zero) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace

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
  Fd inputRead, inputWrite, outputRead, outputWrite;
  if (!MakePipe(inputRead, inputWrite) || !MakePipe(outputRead, outputWrite)) return kInvalidParameter;
  fs::path program;
  if (InstallDecryptor(run.programDirectory, run.dataFolder, program) != kOk) return kInvalidParameter;
  copyFolder = DecryptedCopyFolder();
  if (copyFolder.empty() || CreateFolders(copyFolder) != kOk) return kInvalidParameter;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inputRead.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // its own process group
  posix_spawnattr_setpgroup(&attributes, 0);
  std::string programText = program.string();
  std::string backupText = run.backupFolder.string();
  std::string copyText = copyFolder.string();
  char* argv[] = {programText.data(), backupText.data(), copyText.data(), nullptr};
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return kInvalidParameter;
  inputRead.Close();
  outputWrite.Close();
  SendPassword(inputWrite.get(), run.password);
  inputWrite.Close();

  const std::uint64_t fileCount = run.fileCount == 0 ? 1 : run.fileCount;
  std::int32_t localBase = 0;
  std::int32_t& base = run.progressBase != nullptr ? *run.progressBase : localBase;
  Status result = kOk;
  bool exited = false;
  int drain = kDrainPasses;
  char buffer[kReadBytes + 1];
  for (;;) {
    if (!exited) {
      int status = 0;
      exited = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    // After the end, what is left in the pipe is still read, for a bounded number of passes.
    if (exited && --drain < 0) break;
    pollfd waiting{outputRead.get(), POLLIN, 0};
    const int ready = ::poll(&waiting, 1, kPollMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    const ssize_t n = ::read(outputRead.get(), buffer, kReadBytes);
    if (n <= 0) break;
    buffer[n] = '\0';
    const std::string_view text(buffer, static_cast<std::size_t>(n));
    if (text.find("Wrong password") != std::string_view::npos) {
      result = kWrongPassword;
      break;
    }
    std::int64_t count = 0;
    if (const std::size_t at = text.find("Count:"); at != std::string_view::npos) {
      if (base == 0) {
        base = 1;
        if (run.callback != nullptr) {
          if (const Status answer = run.callback(run.user, 1); answer != kOk) {
            result = answer;
            break;
          }
        }
      }
      count = std::strtoll(buffer + at + 6, nullptr, 10);
    }
    if (run.callback != nullptr) {
      const auto progress = static_cast<std::int32_t>(base + static_cast<std::int64_t>(run.stepWeight) * count /
                                                                static_cast<std::int64_t>(fileCount));
      if (const Status answer = run.callback(run.user, progress); answer != kOk) {
        result = answer;
        break;
      }
    }
  }
  // A decryptor left running (stopped, or still busy after a wrong password) is ended, not orphaned.
  if (!exited) {
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  if (run.callback != nullptr) run.callback(run.user, base + run.stepWeight);
  return result;
}

}  // namespace dunmere
