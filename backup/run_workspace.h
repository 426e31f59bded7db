#pragma once
// The private work folder of one run: <root>/<pid>-<random>, mode 0700, holding a lock for as long as
// the run lives. The decrypted copy of an encrypted backup and the preview copies live inside it, so
// that no run ever sees, changes or removes another run's plaintext, and none is left behind: the
// folder goes when the object goes, and at an exit signal (see exit_signals.h). A later start removes
// the folders of runs that ended without removing their own (killed outright, power lost).
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "backup/polled_process.h"
#include "platform/status.h"

namespace dunmere {

// The folder under the data folder that holds the runs' workspaces.
inline constexpr char kRunsFolderName[] = "Runs";
// Names a private folder of the user's for the workspaces, in place of the data folder's.
inline constexpr char kWorkFolderVariable[] = "DUNMERE_WORK_FOLDER";
inline constexpr char kWorkspaceLockName[] = "lock";

// Where the workspaces go: chosen when not empty, else the folder DUNMERE_WORK_FOLDER names, else
// <dataFolder>/Runs. A named folder is created 0700 when missing; one that is a link, is not the
// user's own or is open to others is refused with kAccessDenied and a reason.
Status WorkspaceRoot(const std::filesystem::path& dataFolder, const std::filesystem::path& chosen,
                     std::filesystem::path& root, std::string& reason);

// Removes the workspaces under root whose run has ended: the process their name starts with no longer
// runs and their lock (if any) is free. Anything else is left alone. Returns how many were removed.
std::size_t RemoveEndedWorkspaces(const std::filesystem::path& root);

// Removes every workspace of this process (what an exit signal does before the process ends).
void RemoveEveryWorkspace();

class RunWorkspace : public HelperKeeper {
 public:
  RunWorkspace();
  ~RunWorkspace();  // removes the folder and everything in it
  RunWorkspace(const RunWorkspace&) = delete;
  RunWorkspace& operator=(const RunWorkspace&) = delete;

  // Creates the workspace under root (see WorkspaceRoot for the checks of root).
  Status Create(const std::filesystem::path& root, std::string& reason);
  bool IsOpen() const { return !folder_.empty(); }
  const std::filesystem::path& folder() const { return folder_; }

  // An empty sub-folder of the workspace, 0700 (what an earlier use left there is removed first).
  Status FreshFolder(const std::string& name, std::filesystem::path& out);

  // A helper writing into the workspace is started with the workspace held and adopted, so that a
  // removal stops its process group first; none starts once the removal has begun. It is released
  // before it is reaped, so that a removal never signals a process id the system may have reused.
  bool Start(const std::function<pid_t()>& spawn, pid_t& pid) override;
  void Ended(pid_t pid) override;

  // Stops the adopted helper's process group (waiting for it to end) and removes the folder. Safe
  // from any thread, and more than once.
  void Remove();

 private:
  std::mutex mutex_;
  std::filesystem::path folder_;
  int lockFd_ = -1;
  pid_t helper_ = 0;
  bool removing_ = false;
};

}  // namespace dunmere
