// The decryptor runner with the real decryptor on encrypted fixture backups (whole and damaged), and
// with a stand-in that prints scripted output, for the progress arithmetic and the ways a run ends.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "backup/decryptor_runner.h"
#include "backup/file_ids.h"
#include "backup/manifest_reader.h"
#include "backup/run_workspace.h"
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

// Takes a key out of a backup's Manifest.plist by giving it another name of the same length.
void RenameManifestKey(const fs::path& backup, const std::string& key, const std::string& other) {
  std::string plist = testing::ReadFile(backup / "Manifest.plist");
  const std::size_t at = plist.find(key);
  ASSERT_NE(at, std::string::npos) << key;
  plist.replace(at, key.size(), other);
  testing::WriteFile(backup / "Manifest.plist", plist);
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
    run.workspace = &workspace_;
    run.workspaceRoot = dir_ / "Runs";
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
  RunWorkspace workspace_;
  std::string reason_;
};

TEST_F(RunnerTest, RealDecryptorRightAndWrongPassword) {
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", "SQLite format 3 and a body"},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", "SQLite format 3 contacts"}};
  testing::WriteEncryptedBackup(dir_ / "backup", backup, {"a pass word", 20, 5});
  const auto before = testing::SnapshotTree(dir_ / "backup");
  const fs::path program = DUNMERE_TOOL_DIR;
  fs::path copy;

  EXPECT_EQ(RunDecryptor(Run(program, dir_ / "backup", "wrong"), copy, reason_), kWrongPassword);
  ASSERT_EQ(RunDecryptor(Run(program, dir_ / "backup", "a pass word"), copy, reason_), kOk);
  EXPECT_EQ(copy, workspace_.folder() / "OrvantDunmereBackupPath");
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
  // The plain files are the user's alone.
  EXPECT_EQ(fs::status(copy / std::string(kMessagesDbId)).permissions() &
                (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);
}

TEST_F(RunnerTest, ProgressFromWholeCountLinesOnly) {
  const fs::path program = ShipAsTool(dir_, DUNMERE_FAKE_TOOL);
  for (int i = 0; i < 200; ++i) testing::WriteFile(dir_ / "backup" / std::to_string(i), "");  // the measure
  env_.Set("FAKE_TOOL_OUTPUT", "Count: 10\n|Cou|nt: 77\n|Count: 50\n");
  fs::path copy;
  ASSERT_EQ(RunDecryptor(Run(program, dir_ / "backup", "pw"), copy, reason_), kOk);
  // 1 at the first count; 1 + 10*10/200 = 1; the split line gives no count (0 twice); 1 + 10*50/200 = 3;
  // then the end of the step.
  EXPECT_EQ(progress_.values, (std::vector<std::int32_t>{1, 1, 1, 1, 3, 11}));
}

TEST_F(RunnerTest, WrongPasswordStopsAndPasswordTravelsByStandardInput) {
  const fs::path program = ShipAsTool(dir_, DUNMERE_FAKE_TOOL);
  env_.Set("FAKE_TOOL_OUTPUT", "PASSWORD|Wrong password\n");
  fs::path copy;
  EXPECT_EQ(RunDecryptor(Run(program, dir_ / "backup", "with blanks in it"), copy, reason_), kWrongPassword);

  // A stop answer ends a decryptor that would run on, without waiting for it.
  env_.Set("FAKE_TOOL_OUTPUT", "Count: 1\n");
  env_.Set("FAKE_TOOL_SLEEP", "30");
  progress_ = testing::ProgressLog{};
  progress_.stopFrom = 2;
  base_ = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunDecryptor(Run(program, dir_ / "backup", "pw"), copy, reason_), 2);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  // No shipped program: not started, and told.
  EXPECT_EQ(RunDecryptor(Run(dir_ / "nowhere", dir_ / "backup", "pw"), copy, reason_), kInvalidParameter);
  EXPECT_NE(reason_.find("\"tool\" is missing"), std::string::npos) << reason_;
}

TEST_F(RunnerTest, AFailedOrKilledDecryptorIsAFailureWithItsReasonAndLeavesNoCopy) {
  const fs::path program = ShipAsTool(dir_, DUNMERE_FAKE_TOOL);
  fs::path copy;
  env_.Set("FAKE_TOOL_WRITE", "partial");
  env_.Set("FAKE_TOOL_OUTPUT", "Count: 1\n|the backup keybag is missing or damaged\n");
  env_.Set("FAKE_TOOL_EXIT", "1");
  EXPECT_EQ(RunDecryptor(Run(program, dir_ / "backup", "pw"), copy, reason_), kHelperFailed);
  EXPECT_EQ(reason_, "the decryptor failed (exit status 1): the backup keybag is missing or damaged");
  EXPECT_TRUE(copy.empty());
  EXPECT_FALSE(fs::exists(workspace_.folder() / "OrvantDunmereBackupPath"));

  env_.Set("FAKE_TOOL_EXIT", std::nullopt);
  env_.Set("FAKE_TOOL_OUTPUT", "Count: 1\n");
  env_.Set("FAKE_TOOL_SIGNAL", "9");
  EXPECT_EQ(RunDecryptor(Run(program, dir_ / "backup", "pw"), copy, reason_), kHelperFailed);
  EXPECT_EQ(reason_.rfind("the decryptor was ended by signal 9", 0), 0u) << reason_;
  EXPECT_FALSE(fs::exists(workspace_.folder() / "OrvantDunmereBackupPath"));

  // Files the decryptor could not decrypt one by one are kept for the report; the run itself succeeds.
  env_.Set("FAKE_TOOL_SIGNAL", std::nullopt);
  env_.Set("FAKE_TOOL_OUTPUT", "Count: 1\n|cannot unwrap the key of ab12\n|size differs for cd34: recorded 1, decrypted 2\n"
                               "|bad pad|ding: ef56\n");
  std::vector<std::string> undecrypted{"from an earlier run"};
  DecryptorRun withReport = Run(program, dir_ / "backup", "pw");
  withReport.undecrypted = &undecrypted;
  ASSERT_EQ(RunDecryptor(withReport, copy, reason_), kOk) << reason_;
  EXPECT_EQ(undecrypted, (std::vector<std::string>{"cannot unwrap the key of ab12", "bad padding: ef56"}));

  // A run that succeeds starts from an empty folder: nothing of an earlier backup shows in it.
  env_.Set("FAKE_TOOL_SIGNAL", std::nullopt);
  env_.Set("FAKE_TOOL_WRITE", "first");
  ASSERT_EQ(RunDecryptor(Run(program, dir_ / "backup", "pw"), copy, reason_), kOk) << reason_;
  env_.Set("FAKE_TOOL_WRITE", "second");
  ASSERT_EQ(RunDecryptor(Run(program, dir_ / "backup", "pw"), copy, reason_), kOk) << reason_;
  EXPECT_TRUE(fs::exists(copy / "second"));
  EXPECT_FALSE(fs::exists(copy / "first"));
}

TEST_F(RunnerTest, WithoutRoomForTheCopyNothingIsDecryptedAndTheWayOutIsTold) {
  const fs::path program = ShipAsTool(dir_, DUNMERE_FAKE_TOOL);
  testing::WriteFile(dir_ / "backup" / "ab" / "abcdef", std::string(4096, 'x'));
  env_.Set("FAKE_TOOL_WRITE", "plain");
  DecryptorRun run = Run(program, dir_ / "backup", "pw");
  run.freeBytes = [](const fs::path&, std::uint64_t& free) {
    free = 1000;
    return true;
  };
  fs::path copy;
  EXPECT_EQ(RunDecryptor(run, copy, reason_), kDiskFull);
  EXPECT_NE(reason_.find("not enough free space"), std::string::npos) << reason_;
  EXPECT_NE(reason_.find("--work-folder"), std::string::npos) << reason_;
  EXPECT_FALSE(fs::exists(workspace_.folder() / "OrvantDunmereBackupPath"));
  EXPECT_TRUE(progress_.values.empty());  // the decryptor never started
}

TEST_F(RunnerTest, InstallingReplacesTheProgramWholeAndLeavesNoTemporaryFile) {
  const fs::path program = ShipAsTool(dir_, DUNMERE_FAKE_TOOL);
  const fs::path data = dir_ / "appdata" / "OrvantDunmere";
  testing::WriteFile(data / "tool", "an older, half-written copy");
  fs::path installed;
  ASSERT_EQ(InstallDecryptor(program, data, installed), kOk);
  EXPECT_EQ(installed, data / "tool");
  std::string expected = testing::ReadFile(DUNMERE_FAKE_TOOL);
  EXPECT_EQ(testing::ReadFile(installed), expected);
  EXPECT_EQ(fs::status(installed).permissions(), fs::perms::owner_all);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(data)) ++files;
  EXPECT_EQ(files, 1u);
}

// The real decryptor on backups damaged in the ways backups are found: each is a failure with the
// decryptor's own reason, and no copy.
TEST_F(RunnerTest, DamagedEncryptedBackupsAreFailuresWithAReason) {
  const fs::path program = DUNMERE_TOOL_DIR;
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", "SQLite format 3 and a body"}};
  const auto damaged = [&](const char* name, const std::function<void(const fs::path&)>& damage,
                           const char* expected) {
    const fs::path folder = dir_ / name;
    testing::WriteEncryptedBackup(folder, backup, {"pw", 20, 5});
    damage(folder);
    fs::path copy;
    EXPECT_EQ(RunDecryptor(Run(program, folder, "pw"), copy, reason_), kHelperFailed) << name;
    EXPECT_NE(reason_.find(expected), std::string::npos) << name << ": " << reason_;
    EXPECT_FALSE(fs::exists(workspace_.folder() / "OrvantDunmereBackupPath")) << name;
  };
  damaged("garbage-plist", [](const fs::path& f) { testing::WriteFile(f / "Manifest.plist", "\x01\x02garbage"); },
          "Manifest.plist is missing or damaged");
  damaged("no-keybag",
          [](const fs::path& f) { RenameManifestKey(f, "BackupKeyBag", "BackupKeyBug"); },
          "keybag is missing or damaged");
  damaged("no-manifest-key",
          [](const fs::path& f) { RenameManifestKey(f, "ManifestKey", "ManifestKez"); },
          "the decrypted manifest has no Files table");
  damaged("damaged-manifest-db",
          [](const fs::path& f) {
            std::string db = testing::ReadFile(f / "Manifest.db");
            db.resize(db.size() - 7);  // no longer whole cipher blocks
            testing::WriteFile(f / "Manifest.db", db);
          },
          "cannot decrypt Manifest.db");
}

}  // namespace
}  // namespace dunmere
