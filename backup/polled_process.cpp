#include "backup/polled_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/file_util.h"

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
  WriteAll(fd, input);
  const timespec zero{0, 0};
  while (sigtimedwait(&block, nullptr, &zero) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace

namespace {

// Spawns the helper in its own process group, with the default action for the signals this program
// catches and nothing blocked.
pid_t Spawn(const std::vector<std::string>& argv, int input, int output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none, defaults;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigemptyset(&defaults);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  std::vector<std::string> args = argv;
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, args[0].c_str(), &actions, &attributes, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return spawned == 0 ? pid : -1;
}

// True once the child has ended; it is left unreaped.
bool HasEnded(pid_t pid, bool wait) {
  siginfo_t info{};
  for (;;) {
    const int rc = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | (wait ? 0 : WNOHANG));
    if (rc == 0) return info.si_pid == pid;
    if (errno != EINTR) return true;  // no such child: nothing to wait for
  }
}

// Stops a helper still running: its group is asked to end, then killed when it has not within 2 s.
void StopGroup(pid_t pid) {
  ::kill(-pid, SIGTERM);
  for (int i = 0; i < 400; ++i) {
    if (HasEnded(pid, false)) return;
    ::usleep(5000);
  }
  ::kill(-pid, SIGKILL);
  HasEnded(pid, true);
}

}  // namespace

Status RunPolled(const std::vector<std::string>& argv, const std::string& input, const OutputHandler& onOutput,
                 HelperEnd* end, HelperKeeper* keeper) {
  if (argv.empty()) return kInvalidParameter;
  Fd inputRead, inputWrite, outputRead, outputWrite;
  if (!MakePipe(inputRead, inputWrite) || !MakePipe(outputRead, outputWrite)) return kInvalidParameter;
  const auto spawn = [&] { return Spawn(argv, inputRead.get(), outputWrite.get()); };
  pid_t pid = -1;
  if (keeper != nullptr) {
    if (!keeper->Start(spawn, pid)) return kInvalidParameter;
  } else {
    pid = spawn();
  }
  if (pid < 0) return kInvalidParameter;
  inputRead.Close();
  outputWrite.Close();
  SendInput(inputWrite.get(), input);
  inputWrite.Close();

  Status result = kOk;
  bool exited = false;
  int drain = kDrainPasses;
  char buffer[kReadBytes];
  for (;;) {
    if (!exited) exited = HasEnded(pid, false);
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
  const bool stopped = !exited;
  if (stopped) StopGroup(pid);
  else HasEnded(pid, true);
  if (keeper != nullptr) keeper->Ended(pid);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (end != nullptr) {
    end->stopped = stopped;
    end->exited = WIFEXITED(status);
    end->exitCode = end->exited ? WEXITSTATUS(status) : -1;
    end->signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  return result;
}

}  // namespace dunmere
