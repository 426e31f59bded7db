#include "backup/run_workspace.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace dunmere {
namespace fs = std::filesystem;

namespace {

// The live workspaces of this process, for the cleanup of an exit signal. The one process-wide list
// the program keeps: a signal ends every run of the process at once.
std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<RunWorkspace*>& Registry() {
  static std::vector<RunWorkspace*> list;
  return list;
}

// A folder that only the user can enter: created 0700 when missing, refused when it is a link, not a
// folder, not the user's own, or open to the group or to others.
Status PrivateFolder(const fs::path& folder, std::string& reason) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    const int err = errno;
    reason = "cannot create " + folder.string() + ": " + StatusText(StatusFromErrno(err));
    return StatusFromErrno(err);
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    reason = folder.string() + " is not a folder";
    return kAccessDenied;
  }
  if (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
    reason = folder.string() + " is not private to this user (it must be the user's own, mode 0700)";
    return kAccessDenied;
  }
  return kOk;
}

// The process id a workspace's name begins with ("<pid>-<random>"); 0 when there is none.
pid_t NamedProcess(const std::string& name) {
  char* end = nullptr;
  const long pid = std::strtol(name.c_str(), &end, 10);
  return end != name.c_str() && *end == '-' && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// A run has ended when its process no longer runs and its lock is free. Both are asked: the lock is
// taken a moment after the folder is made (a lock alone would give a starting run away), and the
// process id may be another process's by now (an id alone would keep an ended run's folder).
bool HasEnded(const fs::path& workspace) {
  const pid_t pid = NamedProcess(workspace.filename().string());
  if (pid == 0 || ::kill(pid, 0) == 0 || errno != ESRCH) return false;
  const int fd = ::open((workspace / kWorkspaceLockName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return true;
  // A lock is held for as long as its run lives (another descriptor of this process included).
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

}  // namespace

Status WorkspaceRoot(const fs::path& dataFolder, const fs::path& chosen, fs::path& root, std::string& reason) {
  root = chosen;
  if (root.empty()) {
    const char* named = std::getenv(kWorkFolderVariable);
    if (named != nullptr && *named != '\0') root = named;
  }
  if (root.empty()) {
    if (dataFolder.empty()) {
      reason = "there is no data folder";
      return kPathNotFound;
    }
    root = dataFolder / kRunsFolderName;
  }
  std::error_code ec;
  root = fs::absolute(root, ec);
  return PrivateFolder(root, reason);
}

std::size_t RemoveEndedWorkspaces(const fs::path& root) {
  std::size_t removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError) || it->is_symlink(typeError)) continue;
    if (NamedProcess(it->path().filename().string()) == 0 || !HasEnded(it->path())) continue;
    std::error_code removeError;
    fs::remove_all(it->path(), removeError);
    if (!removeError) ++removed;
  }
  return removed;
}

void RemoveEveryWorkspace() {
  std::lock_guard<std::mutex> hold(RegistryMutex());
  for (RunWorkspace* workspace : Registry()) workspace->Remove();
}

RunWorkspace::RunWorkspace() {
  std::lock_guard<std::mutex> hold(RegistryMutex());
  Registry().push_back(this);
}

RunWorkspace::~RunWorkspace() {
  {
    std::lock_guard<std::mutex> hold(RegistryMutex());
    auto& list = Registry();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  Remove();
}

Status RunWorkspace::Create(const fs::path& root, std::string& reason) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (removing_) {
    reason = "the run is ending";
    return kAccessDenied;
  }
  if (!folder_.empty()) return kOk;
  if (const Status rc = PrivateFolder(root, reason); rc != kOk) return rc;
  std::string name = (root / (std::to_string(::getpid()) + "-XXXXXX")).string();
  if (::mkdtemp(name.data()) == nullptr) {  // 0700, with a random part
    const Status rc = StatusFromErrno(errno);
    reason = "cannot create a work folder in " + root.string() + ": " + StatusText(rc);
    return rc;
  }
  const fs::path folder = name;
  const int fd = ::open((folder / kWorkspaceLockName).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const Status rc = StatusFromErrno(errno);
    if (fd >= 0) ::close(fd);
    std::error_code ec;
    fs::remove_all(folder, ec);
    reason = "cannot lock the work folder " + folder.string() + ": " + StatusText(rc);
    return rc;
  }
  folder_ = folder;
  lockFd_ = fd;
  return kOk;
}

Status RunWorkspace::FreshFolder(const std::string& name, fs::path& out) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (folder_.empty() || removing_) return kPathNotFound;
  out = folder_ / name;
  std::error_code ec;
  fs::remove_all(out, ec);
  if (ec) return StatusFromErrno(ec.value());
  if (::mkdir(out.c_str(), 0700) != 0) return StatusFromErrno(errno);
  return kOk;
}

bool RunWorkspace::Start(const std::function<pid_t()>& spawn, pid_t& pid) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (removing_ || helper_ != 0) return false;
  pid = spawn();
  if (pid > 0) helper_ = pid;
  return true;
}

void RunWorkspace::Ended(pid_t pid) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (helper_ == pid) helper_ = 0;
}

void RunWorkspace::Remove() {
  std::lock_guard<std::mutex> hold(mutex_);
  removing_ = true;
  if (helper_ > 0) {
    // The helper is unreaped while adopted, so its id is still its own.
    ::kill(-helper_, SIGKILL);
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(helper_), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
  }
  if (!folder_.empty()) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    folder_.clear();
  }
  if (lockFd_ >= 0) {
    ::close(lockFd_);
    lockFd_ = -1;
  }
}

}  // namespace dunmere
