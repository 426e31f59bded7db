#include "app/player_processes.h"

#include <signal.h>
#include <sys/wait.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace dunmere {
namespace {

// Whether pid is still a child of this process (a number reused by another program's process is not).
bool OurChild(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const std::size_t close = line.rfind(')');  // the program name may hold spaces and brackets
  if (close == std::string::npos) return false;
  std::istringstream rest(line.substr(close + 1));
  char state = 0;
  pid_t parent = 0;
  rest >> state >> parent;
  return parent == ::getpid();
}

}  // namespace

void CPlayerProcesses::Started(pid_t pid) {
  std::lock_guard<std::mutex> hold(lock_);
  started_.push_back(pid);
}

int CPlayerProcesses::KillByName(const std::string& name) {
  std::lock_guard<std::mutex> hold(lock_);
  int stopped = 0;
  for (auto it = started_.begin(); it != started_.end();) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(*it) + "/exe", ec);
    if (ec || !OurChild(*it)) {
      it = started_.erase(it);  // already gone
      continue;
    }
    if (exe.filename() != name) {
      ++it;
      continue;
    }
    ::kill(*it, SIGKILL);
    ::waitpid(*it, nullptr, 0);  // our own child: collect it
    ++stopped;
    it = started_.erase(it);
  }
  return stopped;
}

}  // namespace dunmere
