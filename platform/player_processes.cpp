#include "platform/player_processes.h"

#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

namespace dunmere {
namespace {

// The program name (/proc/<pid>/comm: the file that was run, a launcher script's own name) and the
// start time of a process; false when it is gone.
bool Identity(pid_t pid, std::string& name, unsigned long long& started) {
  const std::string base = "/proc/" + std::to_string(pid);
  std::ifstream comm(base + "/comm");
  if (!std::getline(comm, name)) return false;
  std::ifstream stat(base + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const std::size_t close = line.rfind(')');  // the name in the line may hold spaces and brackets
  if (close == std::string::npos) return false;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  // Fields from the state (3rd) on; the start time is the 22nd.
  for (int i = 3; i <= 22 && fields >> field; ++i) {
    if (i == 22) {
      started = std::stoull(field);
      return true;
    }
  }
  return false;
}

}  // namespace

void CPlayerProcesses::Started(pid_t pid) {
  std::string name;
  unsigned long long started = 0;
  if (!Identity(pid, name, started)) return;
  std::lock_guard<std::mutex> hold(lock_);
  started_.push_back({pid, started});
}

int CPlayerProcesses::KillByName(const std::string& name) {
  std::lock_guard<std::mutex> hold(lock_);
  int stopped = 0;
  for (auto it = started_.begin(); it != started_.end();) {
    std::string now;
    unsigned long long started = 0;
    // Gone, or its number taken by another process since: nothing of ours to stop.
    if (!Identity(it->pid, now, started) || started != it->started) {
      it = started_.erase(it);
      continue;
    }
    if (now != name) {
      ++it;
      continue;
    }
    ::kill(it->pid, SIGKILL);
    ::waitpid(it->pid, nullptr, WNOHANG);  // collected when it is our own child
    ++stopped;
    it = started_.erase(it);
  }
  return stopped;
}

}  // namespace dunmere
