#include "backup/backup_discovery.h"

#include <gtest/gtest.h>

#include "backup/encryption_test.h"
#include "backup/file_ids.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::FixtureBackup;
using testing::FixtureFile;
using testing::FixtureLayout;
using testing::TempDir;
using testing::WriteFile;

FixtureFile Contacts() { return {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ContactsDatabaseBytes()}; }

FixtureBackup Backup(FixtureLayout layout, std::int64_t when, const std::string& name) {
  FixtureBackup b;
  b.layout = layout;
  b.info.lastBackupUnix = when;
  b.info.displayName = name;
  b.files = {Contacts(), {"CameraRollDomain", "Media/DCIM/100APPLE", "", testing::kModeFolder}};
  return b;
}

TEST(SummariseCandidates, RootWithAFileAndBackupsNewestFirstTiesKeepListingOrder) {
  TempDir root;
  WriteFile(root / "a-stray-file.txt", "not a backup");
  WriteFile(root / "b-no-info" / "Manifest.db", "x");
  testing::WriteFixtureBackup(root / "c-old", Backup(FixtureLayout::kManifestMbdb, 1262304000, "Old"));   // 2010
  testing::WriteFixtureBackup(root / "d-new", Backup(FixtureLayout::kManifestDb, 1700000000, "New"));     // 2023
  testing::WriteFixtureBackup(root / "e-tie1", Backup(FixtureLayout::kManifestDb, 1400000000, "Tie1"));
  testing::WriteFixtureBackup(root / "f-tie2", Backup(FixtureLayout::kManifestMbdb, 1400000000, "Tie2"));
  WriteFile(root / ".hidden" / "Info.plist", testing::InfoPlistBytes({}));

  std::vector<fs::path> candidates;
  std::uint64_t total = 0;
  ASSERT_TRUE(ListCandidates(root.path(), candidates, total));
  EXPECT_EQ(candidates.size(), 6u);
  EXPECT_EQ(total, 12u);  // the stray file's size

  const std::vector<BackupSummary> summaries = SummariseCandidates(candidates);
  ASSERT_EQ(summaries.size(), 4u);
  EXPECT_EQ(summaries[0].displayName, "New");
  EXPECT_EQ(summaries[1].displayName, "Tie1");
  EXPECT_EQ(summaries[2].displayName, "Tie2");
  EXPECT_EQ(summaries[3].displayName, "Old");
  EXPECT_EQ(summaries[0].folderPath, root / "d-new");
  EXPECT_EQ(summaries[0].lastBackupDate, "2023-11-14 22:13:20");
  for (const BackupSummary& s : summaries) EXPECT_FALSE(s.encrypted) << s.displayName;
}

TEST(SortNewestFirst, ComparesDatesWithoutRegardToCase) {
  std::vector<BackupSummary> list(4);
  list[0].lastBackupDate = "raw-date-b";
  list[1].lastBackupDate = "RAW-DATE-C";
  list[2].lastBackupDate = "2016-01-01 00:00:00";
  list[3].lastBackupDate = "raw-date-a";
  SortNewestFirst(list);
  EXPECT_EQ(list[0].lastBackupDate, "RAW-DATE-C");
  EXPECT_EQ(list[1].lastBackupDate, "raw-date-b");
  EXPECT_EQ(list[2].lastBackupDate, "raw-date-a");
  EXPECT_EQ(list[3].lastBackupDate, "2016-01-01 00:00:00");
}

TEST(SummariseFolder, ChosenFolderWithAndWithoutInfoPlist) {
  TempDir dir;
  BackupSummary summary;
  summary.displayName = "left over";
  EXPECT_EQ(SummariseFolder(dir.path(), summary), kInvalidParameter);
  EXPECT_EQ(summary.displayName, "");
  EXPECT_EQ(summary.folderPath, dir.path());

  FixtureBackup b = Backup(FixtureLayout::kManifestDb, 1462365296, "Chosen");
  b.encrypted = true;
  testing::WriteFixtureBackup(dir / "pick", b);
  ASSERT_EQ(SummariseFolder((dir / "pick").string() + "/", summary), kOk);
  EXPECT_EQ(summary.folderPath, dir / "pick");  // no trailing separator
  EXPECT_EQ(summary.displayName, "Chosen");
  EXPECT_TRUE(summary.encrypted);

  // An empty Info.plist, or one with none of the keys, is no backup's.
  WriteFile(dir / "pick" / "Info.plist", "");
  EXPECT_EQ(SummariseFolder(dir / "pick", summary), kInvalidParameter);
  WriteFile(dir / "pick" / "Info.plist", "<?xml version=\"1.0\"?>\n<plist><dict>\n<key>Other</key>\n</dict></plist>\n");
  EXPECT_EQ(SummariseFolder(dir / "pick", summary), kInvalidParameter);
}

TEST(IsBackupEncrypted, ReadsTheContactsDatabaseAtItsLayoutPlace) {
  TempDir dir;
  const std::string id(kContactsDbId);
  const fs::path twoLevel = dir / "two";
  WriteFile(twoLevel / "Manifest.db", "");
  WriteFile(twoLevel / id, "SQLite format 3");  // in the flat place: not looked at
  WriteFile(twoLevel / id.substr(0, 2) / id, testing::ScrambledBytes(512, 7));
  EXPECT_TRUE(IsBackupEncrypted(twoLevel));
  WriteFile(twoLevel / id.substr(0, 2) / id, "sqlite format 3");  // letter case is ignored
  EXPECT_FALSE(IsBackupEncrypted(twoLevel));

  const fs::path flat = dir / "flat";
  WriteFile(flat / (id + ".mddata"), testing::ScrambledBytes(64, 3));
  EXPECT_TRUE(IsBackupEncrypted(flat));
  WriteFile(flat / id, "SQLite format 3");  // the plain name is tried first
  EXPECT_FALSE(IsBackupEncrypted(flat));
  WriteFile(flat / id, "SQLit");
  EXPECT_TRUE(IsBackupEncrypted(flat));
}

TEST(IsBackupEncrypted, ManifestPlistDecidesWhenContactsAreMissing) {
  TempDir dir;
  EXPECT_FALSE(IsBackupEncrypted(dir.path()));
  FixtureBackup b;
  b.encrypted = true;
  b.files = {{"HomeDomain", "Library/SMS/sms.db", "x"}};
  testing::WriteFixtureBackup(dir / "enc", b);
  EXPECT_TRUE(ManifestPlistSaysEncrypted(dir / "enc"));
  EXPECT_TRUE(IsBackupEncrypted(dir / "enc"));
  b.encrypted = false;
  b.info.format = testing::PlistFormat::kBinary;
  testing::WriteFixtureBackup(dir / "plain", b);
  EXPECT_FALSE(IsBackupEncrypted(dir / "plain"));
  WriteFile(dir / "plain" / "Manifest.plist", "garbage");
  EXPECT_FALSE(IsBackupEncrypted(dir / "plain"));
}

// The backup's own word decides: a zeroed or random address book in a backup whose Manifest.plist
// says IsEncrypted false is damage, not encryption.
TEST(IsBackupEncrypted, ManifestPlistDecidesOverADamagedAddressBook) {
  TempDir dir;
  const std::string id(kContactsDbId);
  FixtureBackup b;
  b.files = {{"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", std::string(4096, '\0')}};
  testing::WriteFixtureBackup(dir / "zeroed", b);
  EXPECT_EQ(ManifestPlistEncryptedFlag(dir / "zeroed"), std::optional<bool>(false));
  EXPECT_FALSE(IsBackupEncrypted(dir / "zeroed"));
  b.files = {{"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ScrambledBytes(4096, 9)}};
  testing::WriteFixtureBackup(dir / "random", b);
  EXPECT_FALSE(IsBackupEncrypted(dir / "random"));
  // Without the flag, the address book still tells.
  fs::remove(dir / "random" / "Manifest.plist");
  EXPECT_EQ(ManifestPlistEncryptedFlag(dir / "random"), std::nullopt);
  EXPECT_TRUE(IsBackupEncrypted(dir / "random"));
}

TEST(ListDefaultCandidates, UnderTheApplicationDataFolder) {
  TempDir dir;
  testing::ScopedEnv env;
  env.Set("DUNMERE_APPDATA", dir.path().string());
  std::vector<fs::path> candidates;
  std::uint64_t total = 0;
  EXPECT_EQ(ListDefaultCandidates(candidates, total), kOk);  // the root does not exist yet
  EXPECT_TRUE(candidates.empty());
  const fs::path root = dir / "Apple Computer" / "MobileSync" / "Backup";
  testing::WriteFixtureBackup(root / "0123abcd", Backup(FixtureLayout::kManifestDb, 1462365296, "Here"));
  EXPECT_EQ(ListDefaultCandidates(candidates, total), kOk);
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0], root / "0123abcd");
}

}  // namespace
}  // namespace dunmere
