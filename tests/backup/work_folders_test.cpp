#include "backup/work_folders.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/file_util.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFile;

constexpr std::uint64_t kGiB = 1ull << 30;

// Free space as a table; a folder missing from it cannot be queried.
FreeSpaceQuery Disks(std::map<fs::path, std::uint64_t> table) {
  return [table](const fs::path& p, std::uint64_t& out) {
    const auto it = table.find(p);
    if (it == table.end()) return false;
    out = it->second;
    return true;
  };
}

TEST(ChooseWorkFolder, StaysUnderAppDataWithMoreThanFifteenGiB) {
  const FreeSpaceQuery disks = Disks({{"/data", 20 * kGiB}, {"/media/big", 500 * kGiB}});
  EXPECT_EQ(ChooseWorkFolder("/data", {"/data", "/media/big"}, disks), fs::path("/data/TallowDunmere/.TallowTempFile"));
}

TEST(ChooseWorkFolder, OtherwiseTheFileSystemWithMostFreeSpace) {
  // Exactly 15 GiB is not more than the threshold.
  FreeSpaceQuery disks = Disks({{"/data", 15 * kGiB}, {"/tmp", 2 * kGiB}, {"/media/card", 40 * kGiB}});
  EXPECT_EQ(ChooseWorkFolder("/data", {"/data", "/tmp", "/media/card"}, disks), fs::path("/media/card/.TallowTempFile"));
  // A tie keeps the earlier one; a folder that cannot be queried is skipped.
  disks = Disks({{"/data", 1 * kGiB}, {"/tmp", 9 * kGiB}, {"/var/tmp", 9 * kGiB}});
  EXPECT_EQ(ChooseWorkFolder("/data", {"/data", "/media/gone", "/tmp", "/var/tmp"}, disks),
            fs::path("/tmp/.TallowTempFile"));
  // Nothing with free space: no folder.
  disks = Disks({{"/data", 0}});
  EXPECT_TRUE(ChooseWorkFolder("/data", {"/data", "/media/gone"}, disks).empty());
  EXPECT_TRUE(ChooseWorkFolder("", {}, disks).empty());
}

class WorkFolderEnv : public ::testing::Test {
 protected:
  void SetUp() override { env_.Set("DUNMERE_APPDATA", appData_.path().string()); }
  TempDir appData_;
  testing::ScopedEnv env_;
};

TEST_F(WorkFolderEnv, DataFolderIsCreatedUnderAppData) {
  fs::path data;
  ASSERT_EQ(DataFolder(data), kOk);
  EXPECT_EQ(data, appData_ / "OrvantDunmere");
  EXPECT_TRUE(FolderExists(data));
  ASSERT_EQ(DataFolder(data), kOk);  // again: harmless
}

TEST_F(WorkFolderEnv, TheWorkFolderIsChosenOnceAndHidden) {
  const fs::path& work = TempWorkFolder();
  ASSERT_FALSE(work.empty());
  EXPECT_EQ(work, TempWorkFolder());
  EXPECT_EQ(work.filename(), ".TallowTempFile");
  EXPECT_TRUE(FolderExists(work));
}

}  // namespace
}  // namespace dunmere
