// The private workspace of a run: its folder and lock, the checks of where it goes, the removal of
// ended runs' folders (and only those), and the stop of a helper writing into it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "backup/run_workspace.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFile;

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

// A process id that is certainly not running: a child that has ended and been reaped.
pid_t EndedProcess() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

TEST(RunWorkspace, PrivateFolderWithLockFreshSubFoldersAndRemoval) {
  TempDir dir;
  fs::path folder, copy;
  {
    RunWorkspace workspace;
    std::string reason;
    ASSERT_EQ(workspace.Create(dir / "Runs", reason), kOk) << reason;
    folder = workspace.folder();
    EXPECT_EQ(folder.parent_path(), dir / "Runs");
    EXPECT_EQ(folder.filename().string().rfind(std::to_string(::getpid()) + "-", 0), 0u);
    EXPECT_EQ(ModeOf(dir / "Runs"), 0700u);
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(folder / kWorkspaceLockName), 0600u);

    ASSERT_EQ(workspace.FreshFolder("copy", copy), kOk);
    WriteFile(copy / "old", "from an earlier decryption");
    ASSERT_EQ(workspace.FreshFolder("copy", copy), kOk);
    EXPECT_TRUE(fs::is_empty(copy));  // every use starts empty
    EXPECT_EQ(ModeOf(copy), 0700u);
    WriteFile(copy / "plain", "secret");

    // A second workspace of the same process is another folder; removing ended runs spares both.
    RunWorkspace second;
    ASSERT_EQ(second.Create(dir / "Runs", reason), kOk);
    EXPECT_NE(second.folder(), folder);
    EXPECT_EQ(RemoveEndedWorkspaces(dir / "Runs"), 0u);
    EXPECT_TRUE(fs::exists(copy / "plain"));
  }
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(fs::is_empty(dir / "Runs"));
}

TEST(RunWorkspace, OnlyEndedRunsFoldersAreRemoved) {
  TempDir dir;
  const fs::path root = dir / "Runs";
  fs::create_directories(root);
  // Ended: a process that has ended, its lock free or no lock at all.
  const std::string unlocked = std::to_string(EndedProcess()) + "-unlocked";
  WriteFile(root / unlocked / kWorkspaceLockName, "");
  WriteFile(root / unlocked / "sms.db", "plain");
  WriteFile(root / (std::to_string(EndedProcess()) + "-nolock") / "sms.db", "plain");
  // Running: a process that holds its lock; a process that runs and has not locked yet (this one,
  // with its lock file made and free).
  const pid_t holder = ::fork();
  const std::string held = std::to_string(holder) + "-held";
  if (holder == 0) {
    int fd = -1;
    while ((fd = ::open((root / held / kWorkspaceLockName).c_str(), O_RDONLY | O_CLOEXEC)) < 0) ::usleep(1000);
    ::flock(fd, LOCK_EX);
    ::pause();
    ::_exit(0);
  }
  WriteFile(root / held / kWorkspaceLockName, "");
  WriteFile(root / (std::to_string(::getpid()) + "-starting") / kWorkspaceLockName, "");
  // Not a workspace: names without a process, a file, a link to a folder elsewhere.
  WriteFile(root / "notes" / "keep", "");
  WriteFile(root / "file-1", "");
  WriteFile(dir / "elsewhere" / "keep", "");
  fs::create_directory_symlink(dir / "elsewhere", root / "4244-link");

  // The holder takes its lock asynchronously: wait until the lock is seen as held.
  for (int i = 0; i < 200; ++i) {
    const int probe = ::open((root / held / kWorkspaceLockName).c_str(), O_RDONLY | O_CLOEXEC);
    const bool busy = ::flock(probe, LOCK_EX | LOCK_NB) != 0;
    ::close(probe);
    if (busy) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(RemoveEndedWorkspaces(root), 2u);
  EXPECT_FALSE(fs::exists(root / unlocked));
  EXPECT_TRUE(fs::exists(root / held / kWorkspaceLockName));
  EXPECT_TRUE(fs::exists(root / (std::to_string(::getpid()) + "-starting")));
  EXPECT_TRUE(fs::exists(root / "notes" / "keep"));
  EXPECT_TRUE(fs::exists(root / "file-1"));
  EXPECT_TRUE(fs::exists(dir / "elsewhere" / "keep"));
  ::kill(holder, SIGKILL);
  int status = 0;
  ::waitpid(holder, &status, 0);
  EXPECT_EQ(RemoveEndedWorkspaces(root), 1u);  // its run has ended now
}

TEST(RunWorkspace, WhereTheWorkspacesGo) {
  TempDir dir;
  testing::ScopedEnv env;
  env.Set(kWorkFolderVariable, std::nullopt);
  fs::path root;
  std::string reason;
  ASSERT_EQ(WorkspaceRoot(dir / "data", {}, root, reason), kPathNotFound);  // the data folder must exist
  fs::create_directories(dir / "data");
  ASSERT_EQ(WorkspaceRoot(dir / "data", {}, root, reason), kOk) << reason;
  EXPECT_EQ(root, dir / "data" / kRunsFolderName);

  // A folder the user names: created private, or refused when others can enter it or it is a link.
  env.Set(kWorkFolderVariable, (dir / "mine").string());
  ASSERT_EQ(WorkspaceRoot(dir / "data", {}, root, reason), kOk) << reason;
  EXPECT_EQ(root, dir / "mine");
  EXPECT_EQ(ModeOf(dir / "mine"), 0700u);
  fs::create_directories(dir / "shared");
  fs::permissions(dir / "shared", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_EQ(WorkspaceRoot(dir / "data", dir / "shared", root, reason), kAccessDenied);
  EXPECT_NE(reason.find("not private"), std::string::npos) << reason;
  fs::create_directory_symlink(dir / "mine", dir / "link");
  EXPECT_EQ(WorkspaceRoot(dir / "data", dir / "link", root, reason), kAccessDenied);
  RunWorkspace workspace;
  EXPECT_EQ(workspace.Create(dir / "shared", reason), kAccessDenied);
  EXPECT_FALSE(workspace.IsOpen());
}

TEST(RunWorkspace, RemovalStopsTheHelperFirstAndNoHelperStartsAfterIt) {
  TempDir dir;
  RunWorkspace workspace;
  std::string reason;
  ASSERT_EQ(workspace.Create(dir / "Runs", reason), kOk);
  fs::path copy;
  ASSERT_EQ(workspace.FreshFolder("copy", copy), kOk);
  // A helper that writes into the workspace for as long as it lives, in a child process of its own.
  const std::string script = "while true; do date >> '" + (copy / "plain").string() + "'; sleep 0.01; done";
  auto run = std::async(std::launch::async, [&] {
    HelperEnd end;
    RunPolled({"/bin/sh", "-c", script}, "", [](std::string_view) { return kOk; }, &end, &workspace);
    return end;
  });
  for (int i = 0; i < 500 && !fs::exists(copy / "plain"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(fs::exists(copy / "plain"));
  workspace.Remove();
  EXPECT_FALSE(fs::exists(copy));
  ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  const HelperEnd end = run.get();
  EXPECT_FALSE(end.exited);
  EXPECT_EQ(end.signal, SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(copy));  // nothing written after the removal
  // Once removed, no helper may start in it.
  EXPECT_EQ(RunPolled({"/bin/true"}, "", [](std::string_view) { return kOk; }, nullptr, &workspace),
            kInvalidParameter);
}

}  // namespace
}  // namespace dunmere
