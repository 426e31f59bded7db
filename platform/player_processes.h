#pragma once
// The media-player processes this copy of the program started, so that at the end only those are
// stopped: another program's player of the same name is left alone.
#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

namespace dunmere {

class CPlayerProcesses {
 public:
  // Notes a player the preview started.
  void Started(pid_t pid);
  // Stops each noted process still running whose program file (a launcher script's own name) is
  // named exactly name; returns how many were stopped.
  int KillByName(const std::string& name);

 private:
  struct Noted {
    pid_t pid;
    unsigned long long started;  // the process's start time: a reused number does not match it
  };
  std::mutex lock_;
  std::vector<Noted> started_;
};

}  // namespace dunmere
