#include "backup/polled_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

extern char** environ;

namespace dunmere {
namespace {

constexpr int kPollMs = 5;
constexpr int kDrainPasses = 100;
constexpr std::size_t kReadBytes = 4096;

// A file descriptor that closes itself.
class Fd {
 public:
  Fd() = default;
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

// Writes the input to the child's standard input. A child that has already closed it must not take
// this process down with SIGPIPE.
void SendInput(int fd, const std::string& input) {
  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &block, &old);
  std::size_t done = 0;
  while (done < input.size()) {
    const ssize_t n = ::write(fd, input.data() + done, input.size() - done);
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

Status RunPolled(const std::vector<std::string>& argv, const std::string& input, const OutputHandler& onOutput) {
  if (argv.empty()) return kInvalidParameter;
  Fd inputRead, inputWrite, outputRead, outputWrite;
  if (!MakePipe(inputRead, inputWrite) || !MakePipe(outputRead, outputWrite)) return kInvalidParameter;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inputRead.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputWrite.get(), STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // its own process group
  posix_spawnattr_setpgroup(&attributes, 0);
  std::vector<std::string> args = argv;
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, args[0].c_str(), &actions, &attributes, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return kInvalidParameter;
  inputRead.Close();
  outputWrite.Close();
  SendInput(inputWrite.get(), input);
  inputWrite.Close();

  Status result = kOk;
  bool exited = false;
  int drain = kDrainPasses;
  char buffer[kReadBytes];
  for (;;) {
    if (!exited) {
      int status = 0;
      exited = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    if (exited && --drain < 0) break;
    pollfd waiting{outputRead.get(), POLLIN, 0};
    const int ready = ::poll(&waiting, 1, kPollMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    const ssize_t n = ::read(outputRead.get(), buffer, kReadBytes);
    if (n <= 0) break;
    result = onOutput(std::string_view(buffer, static_cast<std::size_t>(n)));
    if (result != kOk) break;
  }
  if (!exited) {
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  return result;
}

}  // namespace dunmere
