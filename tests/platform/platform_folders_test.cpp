#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/app_data.h"
#include "platform/disk_space.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;

using testing::ScopedEnv;

TEST(AppDataFolder, OverrideThenXdgThenHome) {
  ScopedEnv env;
  fs::path out;
  env.Set("DUNMERE_APPDATA", "/over/ride");
  env.Set("XDG_DATA_HOME", "/xdg/data");
  env.Set("HOME", "/home/someone");
  ASSERT_EQ(AppDataFolder(out), kOk);
  EXPECT_EQ(out, "/over/ride");
  env.Set("DUNMERE_APPDATA", std::nullopt);
  ASSERT_EQ(AppDataFolder(out), kOk);
  EXPECT_EQ(out, "/xdg/data");
  env.Set("XDG_DATA_HOME", "relative/ignored");
  ASSERT_EQ(AppDataFolder(out), kOk);
  EXPECT_EQ(out, "/home/someone/.local/share");
  env.Set("XDG_DATA_HOME", std::nullopt);
  env.Set("HOME", std::nullopt);
  EXPECT_EQ(AppDataFolder(out), kPathNotFound);
  std::vector<fs::path> roots;
  EXPECT_EQ(DefaultBackupRoots(roots), kPathNotFound);
}

// The settings' folder follows the same rules with the configuration variable, and never the data one.
TEST(ConfigFolder, OverrideThenXdgThenHome) {
  ScopedEnv env;
  fs::path out;
  env.Set("DUNMERE_APPDATA", "/over/ride");
  env.Set("XDG_CONFIG_HOME", "/xdg/config");
  env.Set("XDG_DATA_HOME", "/xdg/data");
  env.Set("HOME", "/home/someone");
  ASSERT_EQ(ConfigFolder(out), kOk);
  EXPECT_EQ(out, "/over/ride");
  env.Set("DUNMERE_APPDATA", std::nullopt);
  ASSERT_EQ(ConfigFolder(out), kOk);
  EXPECT_EQ(out, "/xdg/config");
  env.Set("XDG_CONFIG_HOME", std::nullopt);
  ASSERT_EQ(ConfigFolder(out), kOk);
  EXPECT_EQ(out, "/home/someone/.config");
  env.Set("HOME", std::nullopt);
  EXPECT_EQ(ConfigFolder(out), kPathNotFound);
}

TEST(DefaultBackupRoots, SyncSoftwareFolderUnderAppData) {
  ScopedEnv env;
  env.Set("DUNMERE_APPDATA", "/data");
  std::vector<fs::path> roots;
  ASSERT_EQ(DefaultBackupRoots(roots), kOk);
  ASSERT_FALSE(roots.empty());
  EXPECT_EQ(roots.front(), fs::path("/data/Apple Computer/MobileSync/Backup"));
}

TEST(WorkFolderCandidates, WritableFoldersFirstAppDataNoDuplicates) {
  testing::TempDir dir;
  ScopedEnv env;
  env.Set("TMPDIR", dir.path().string());
  const std::vector<fs::path> candidates = WorkFolderCandidates(dir.path());
  ASSERT_FALSE(candidates.empty());
  EXPECT_EQ(candidates.front(), dir.path());
  EXPECT_EQ(std::count(candidates.begin(), candidates.end(), dir.path()), 1);  // TMPDIR is the same folder
  const std::vector<fs::path> none = WorkFolderCandidates(dir / "does-not-exist");
  EXPECT_EQ(std::count(none.begin(), none.end(), dir / "does-not-exist"), 0);
  std::uint64_t free = 0;
  EXPECT_TRUE(FreeBytes(dir.path(), free));
  EXPECT_GT(free, 0u);
  EXPECT_FALSE(FreeBytes(dir / "does-not-exist", free));
}

}  // namespace
}  // namespace dunmere
