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

TEST_F(WorkFolderEnv, CleanUpRemovesOnlyWhatTheProgramLeft) {
  const fs::path& work = TempWorkFolder();
  ASSERT_FALSE(work.empty());
  EXPECT_EQ(work, TempWorkFolder());  // chosen once
  EXPECT_EQ(work.filename(), ".TallowTempFile");
  EXPECT_TRUE(FolderExists(work));
  const fs::path copy = DecryptedCopyFolder();
  EXPECT_EQ(copy, work / "OrvantDunmereBackupPath");

  fs::path data;
  ASSERT_EQ(DataFolder(data), kOk);
  WriteFile(copy / "3d0d7e5fb2ce288813306e4d4636395e047a3d28", "decrypted");
  WriteFile(copy / "sub" / "kept", "sub-folders stay");
  WriteFile(data / "tmp.jpg", "p");
  WriteFile(data / "tmp.wav", "p");
  WriteFile(data / "tmp.avi", "p");
  WriteFile(data / "tool", "the copied decryptor stays");
  TempDir backup;
  WriteFile(backup / "Info.plist", "a backup's own file");

  std::vector<fs::path> fileList{copy / "sub" / "kept", backup / "Info.plist", copy / "missing"};
  CleanUpTemporaryFiles(data, fileList);

  EXPECT_TRUE(fileList.empty());
  EXPECT_FALSE(fs::exists(copy / "3d0d7e5fb2ce288813306e4d4636395e047a3d28"));
  EXPECT_FALSE(fs::exists(copy / "sub" / "kept"));  // named in the list, inside the copy
  EXPECT_TRUE(fs::exists(copy / "sub"));
  EXPECT_TRUE(fs::exists(backup / "Info.plist"));  // never outside the copy
  EXPECT_FALSE(fs::exists(data / "tmp.jpg"));
  EXPECT_FALSE(fs::exists(data / "tmp.wav"));
  EXPECT_FALSE(fs::exists(data / "tmp.avi"));
  EXPECT_TRUE(fs::exists(data / "tool"));
  std::error_code ec;
  fs::remove_all(copy, ec);
}

}  // namespace
}  // namespace dunmere
