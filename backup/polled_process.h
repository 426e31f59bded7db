#pragma once
// Running a helper program (the decryptor, the archive extractor) the way the program watches them:
// standard output and standard error on one pipe, polled every 5 ms, read 4,096 bytes at a time,
// and after the program's end at most 100 more passes to drain what it left in the pipe.
#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// Each piece of output as it is read; a non-zero answer ends the watch with that result.
using OutputHandler = std::function<Status(std::string_view piece)>;

// Who else must be able to stop a helper (the cleanup of an exit signal): the helper is started
// through Start (spawn returns its process id, which is also its process group, or -1), and Ended is
// told after it has ended and before it is reaped. Start answers false when no helper may start.
class HelperKeeper {
 public:
  virtual bool Start(const std::function<pid_t()>& spawn, pid_t& pid) = 0;
  virtual void Ended(pid_t pid) = 0;

 protected:
  ~HelperKeeper() = default;
};

// How the helper ended.
struct HelperEnd {
  bool exited = false;    // it ended by itself with exitCode
  int exitCode = -1;
  int signal = 0;         // the signal that ended it, when not exited
  bool stopped = false;   // it was still running when the watch ended, and was stopped
};

// Runs argv[0] (a path) in its own process group with input written to its standard input. Returns
// 87 when it cannot be started, else the first non-zero answer of onOutput, else 0; end (when given)
// receives how it ended. A program still running when the watch ends is stopped.
Status RunPolled(const std::vector<std::string>& argv, const std::string& input, const OutputHandler& onOutput,
                 HelperEnd* end = nullptr, HelperKeeper* keeper = nullptr);

}  // namespace dunmere
