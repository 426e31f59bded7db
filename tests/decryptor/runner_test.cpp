// The decryptor runner with the real decryptor on encrypted fixture backups, and with a stand-in that
// prints scripted output, for the progress arithmetic and the ways a run ends.
#include <gtest/gtest.h>

#include <chrono>

#include "backup/decryptor_runner.h"
#include "backup/file_ids.h"
#include "backup/manifest_reader.h"
#include "tests/support/encrypted_backup.h"
#include "tests/support/progress_log.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;

// A program folder holding `program` as the shipped "tool": its first two bytes altered.
fs::path ShipAsTool(const testing::TempDir& dir, const char* program) {
  std::string bytes = testing::ReadFile(program);
  bytes[0] = 'D';
  bytes[1] = 'M';
  testing::WriteFile(dir / "program" / "tool", bytes);
  return dir / "program";
}

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("DUNMERE_APPDATA", (dir_ / "appdata").string());
    env_.Set("TMPDIR", dir_.path().string());
  }
  DecryptorRun Run(const fs::path& programDir, const fs::path& backup, const std::string& password) {
    DecryptorRun run;
    run.programDirectory = programDir;
    run.dataFolder = dir_ / "appdata" / "OrvantDunmere";
    run.backupFolder = backup;
    run.password = password;
    run.fileCount = 200;
    run.callback = &testing::ProgressLog::Record;
    run.user = &progress_;
    run.progressBase = &base_;
    run.stepWeight = 10;
    return run;
  }
  testing::TempDir dir_;
  testing::ScopedEnv env_;
  testing::ProgressLog progress_;
  std::int32_t base_ = 0;
};

TEST_F(RunnerTest, RealDecryptorRightAndWrongPassword) {
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", "SQLite format 3 and a body"},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", "SQLite format 3 contacts"}};
  testing::WriteEncryptedBackup(dir_ / "backup", backup, {"a pass word", 20, 5});
  const auto before = testing::SnapshotTree(dir_ / "backup");
  const fs::path program = DUNMERE_TOOL_DIR;
  fs::path copy;

  EXPECT_EQ(RunDecryptor(Run(program, dir_ / "backup", "wrong"), copy), kWrongPassword);
  ASSERT_EQ(RunDecryptor(Run(program, dir_ / "backup", "a pass word"), copy), kOk);
  EXPECT_EQ(copy.filename(), "OrvantDunmereBackupPath");
  EXPECT_EQ(testing::ReadFile(copy / std::string(kMessagesDbId)), "SQLite format 3 and a body");
  // The plain manifest is in the copy, not in the user's backup, and the manifest choice finds it.
  EXPECT_TRUE(fs::exists(copy / "Manifest.db-decypted"));
  EXPECT_EQ(testing::SnapshotTree(dir_ / "backup"), before);
  ManifestChoice choice;
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadManifest(dir_ / "backup", entries, &choice, copy), kOk);
  EXPECT_EQ(choice.kind, ManifestKind::kManifestDbDecrypted);
  EXPECT_EQ(entries.size(), 2u);
  // Progress: 1 at the first count, then base + weight * count / files, and the end of the step.
  ASSERT_GE(progress_.values.size(), 3u);
  EXPECT_EQ(progress_.values.back(), base_ + 10);
  EXPECT_TRUE(fs::exists(dir_ / "appdata" / "OrvantDunmere" / "tool"));
  EXPECT_EQ(testing::ReadFile(dir_ / "appdata" / "OrvantDunmere" / "tool").substr(0, 4), "\x7f" "ELF");
}

TEST_F(RunnerTest, ProgressFromWholeCountLinesOnly) {
  const fs::path program = ShipAsTool(dir_, DUNMERE_FAKE_TOOL);
  env_.Set("FAKE_TOOL_OUTPUT", "Count: 10\n|Cou|nt: 77\n|Count: 50\n");
  fs::path copy;
  ASSERT_EQ(RunDecryptor(Run(program, dir_ / "backup", "pw"), copy), kOk);
  // 1 at the first count; 1 + 10*10/200 = 1; the split line gives no count (0 twice); 1 + 10*50/200 = 3;
  // then the end of the step.
  EXPECT_EQ(progress_.values, (std::vector<std::int32_t>{1, 1, 1, 1, 3, 11}));
}

TEST_F(RunnerTest, WrongPasswordStopsAndPasswordTravelsByStandardInput) {
  const fs::path program = ShipAsTool(dir_, DUNMERE_FAKE_TOOL);
  env_.Set("FAKE_TOOL_OUTPUT", "PASSWORD|Wrong password\n");
  fs::path copy;
  EXPECT_EQ(RunDecryptor(Run(program, dir_ / "backup", "with blanks in it"), copy), kWrongPassword);

  // A stop answer ends a decryptor that would run on, without waiting for it.
  env_.Set("FAKE_TOOL_OUTPUT", "Count: 1\n");
  env_.Set("FAKE_TOOL_SLEEP", "30");
  progress_ = testing::ProgressLog{};
  progress_.stopFrom = 2;
  base_ = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunDecryptor(Run(program, dir_ / "backup", "pw"), copy), 2);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  // No shipped program: not started.
  EXPECT_EQ(RunDecryptor(Run(dir_ / "nowhere", dir_ / "backup", "pw"), copy), kInvalidParameter);
}

}  // namespace
}  // namespace dunmere
