#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>

#include "backup/backup_layout.h"
#include "backup/file_ids.h"
#include "backup/manifest_reader.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::MakeSqliteDatabase;
using testing::TempDir;
using testing::WriteFile;

const char* kFilesTable =
    "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);";

TEST(ReadManifestDatabase, EveryRowInQueryOrderWithNullColumnsLeftOut) {
  TempDir dir;
  MakeSqliteDatabase(dir / "Manifest.db",
                     {kFilesTable,
                      "INSERT INTO Files VALUES ('ff01', 'AppDomain-x', 'Documents/a.jpg', 1, NULL);",
                      "INSERT INTO Files VALUES ('aa02', 'CameraRollDomain', NULL, 2, NULL);",
                      "INSERT INTO Files VALUES (NULL, 'HomeDomain', 'Library', 2, NULL);",
                      "INSERT INTO Files VALUES ('cc04', NULL, 'orphan', 1, NULL);"});
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadManifestDatabase(dir / "Manifest.db", entries), kOk);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].fileID, "ff01");
  EXPECT_EQ(entries[0].domainPath, "AppDomain-x-Documents/a.jpg");
  EXPECT_EQ(entries[1].domainPath, "CameraRollDomain");  // NULL relative path: the domain alone
  EXPECT_EQ(entries[2].fileID, "");
  EXPECT_EQ(entries[2].domainPath, "HomeDomain-Library");
  EXPECT_EQ(entries[3].domainPath, "-orphan");  // NULL domain reads as empty, the path is still appended

  // A table without row ids is read all the same.
  MakeSqliteDatabase(dir / "NoRowids.db",
                     {"CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT) WITHOUT ROWID;",
                      "INSERT INTO Files VALUES ('ff01', 'AppDomain-x', 'a.jpg'), ('aa02', 'HomeDomain', 'b');"});
  ASSERT_EQ(ReadManifestDatabase(dir / "NoRowids.db", entries), kOk);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].domainPath, "HomeDomain-b");  // in key order
  EXPECT_EQ(entries[1].domainPath, "AppDomain-x-a.jpg");
}

TEST(ReadManifestDatabase, ResultCodesForFilesThatAreNotManifests) {
  TempDir dir;
  std::vector<ManifestEntry> entries{{"stale", "stale"}};
  EXPECT_EQ(ReadManifestDatabase(dir / "missing.db", entries), SQLITE_CANTOPEN);
  EXPECT_TRUE(entries.empty());
  WriteFile(dir / "garbage.db", std::string(4096, 'g'));
  EXPECT_EQ(ReadManifestDatabase(dir / "garbage.db", entries), kQueryFailed);
  MakeSqliteDatabase(dir / "other.db", {"CREATE TABLE Things (a);", "INSERT INTO Things VALUES (1);"});
  EXPECT_EQ(ReadManifestDatabase(dir / "other.db", entries), kQueryFailed);
  EXPECT_TRUE(entries.empty());
  WriteFile(dir / "empty.db", "");
  EXPECT_EQ(ReadManifestDatabase(dir / "empty.db", entries), kQueryFailed);
}

// A tree whose interior page names itself as a child leads the library back over rows it gave:
// each is taken once, and the damage is told.
TEST(ReadManifestDatabase, ATreeThatLoopsGivesEachRowOnce) {
  TempDir dir;
  std::vector<std::string> sql{"PRAGMA page_size=1024;", kFilesTable};
  for (int i = 0; i < 400; ++i) {
    sql.push_back("INSERT INTO Files VALUES ('id" + std::to_string(i) + "', 'HomeDomain', 'file " + std::to_string(i) +
                  "', 1, NULL);");
  }
  MakeSqliteDatabase(dir / "Manifest.db", sql);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "Manifest.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE name = 'Files'", -1, &stmt, nullptr);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  const int root = sqlite3_column_int(stmt, 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  std::string bytes = testing::ReadFile(dir / "Manifest.db");
  const std::size_t page = static_cast<std::size_t>(root - 1) * 1024;
  ASSERT_EQ(bytes[page], '\x05') << "the table's root is an interior page";
  // Its right-most child: the root itself.
  for (int b = 0; b < 4; ++b) bytes[page + 8 + b] = static_cast<char>((root >> (24 - 8 * b)) & 0xFF);
  WriteFile(dir / "Manifest.db", bytes);

  std::vector<ManifestEntry> entries;
  EXPECT_NE(ReadManifestDatabase(dir / "Manifest.db", entries), kOk);
  std::set<std::string> ids;
  for (const ManifestEntry& e : entries) EXPECT_TRUE(ids.insert(e.fileID).second) << e.fileID << " twice";
  EXPECT_FALSE(entries.empty());
}

TEST(ReadManifestDatabase, LeavesTheFolderUntouchedEvenForAWalDatabase) {
  TempDir dir;
  const fs::path db = dir / "backup" / "Manifest.db";
  MakeSqliteDatabase(db, {kFilesTable, "INSERT INTO Files VALUES ('01', 'HomeDomain', 'a', 1, NULL);",
                          "PRAGMA journal_mode=WAL;"});
  const auto before = testing::SnapshotTree(dir / "backup");
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadManifestDatabase(db, entries), kOk);
  EXPECT_EQ(entries.size(), 1u);
  EXPECT_EQ(testing::SnapshotTree(dir / "backup"), before);  // no -wal, -shm or journal appeared
}

TEST(ReadManifestDatabase, PathsThatNeedEscapingInAUri) {
  TempDir dir;
  const fs::path db = dir / "a folder?#%name \xC3\xA9" / "Manifest.db";
  MakeSqliteDatabase(db, {kFilesTable, "INSERT INTO Files VALUES ('01', 'HomeDomain', 'a', 1, NULL);"});
  std::vector<ManifestEntry> entries;
  ASSERT_EQ(ReadManifestDatabase(db, entries), kOk);
  EXPECT_EQ(entries.size(), 1u);
}

TEST(ChooseManifest, DecryptedBeforeDatabaseBeforeMbdb) {
  TempDir dir;
  EXPECT_EQ(ChooseManifest(dir.path()).kind, ManifestKind::kNone);
  std::vector<ManifestEntry> entries;
  EXPECT_EQ(ReadManifest(dir.path(), entries), kInvalidParameter);

  WriteFile(dir / "Manifest.mbdb", testing::MbdbBytes({}));
  EXPECT_EQ(ChooseManifest(dir.path()).kind, ManifestKind::kManifestMbdb);
  EXPECT_FALSE(ChooseManifest(dir.path()).hasManifestDb);

  MakeSqliteDatabase(dir / "Manifest.db", {kFilesTable, "INSERT INTO Files VALUES ('01', 'D', 'plain', 1, NULL);"});
  ManifestChoice choice = ChooseManifest(dir.path());
  EXPECT_EQ(choice.kind, ManifestKind::kManifestDb);  // the mbdb is ignored next to a Manifest.db
  EXPECT_TRUE(choice.hasManifestDb);

  MakeSqliteDatabase(dir / "Manifest.db-decypted",
                     {kFilesTable, "INSERT INTO Files VALUES ('02', 'D', 'decrypted', 1, NULL);"});
  ASSERT_EQ(ReadManifest(dir.path(), entries, &choice), kOk);
  EXPECT_EQ(choice.kind, ManifestKind::kManifestDbDecrypted);
  EXPECT_EQ(ManifestKindName(choice.kind), "Manifest.db-decypted");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].domainPath, "D-decrypted");
}

TEST(BackupLayout, TwoLevelFlatAndDecryptedCopy) {
  BackupLayout layout;
  layout.backupPath = "/b";
  layout.hasManifestDb = true;
  EXPECT_EQ(layout.DatabasePath(kContactsDbId), fs::path("/b/31/31bb7ba8914766d4ba40d6dfb6113c8b614be442"));
  EXPECT_EQ(layout.MediaPath({"x", "abcdef"}), fs::path("/b/ab/abcdef"));
  layout.encrypted = true;  // the decrypted copy is flat
  EXPECT_EQ(layout.DatabasePath(kContactsDbId), fs::path("/b/31bb7ba8914766d4ba40d6dfb6113c8b614be442"));
  layout.encrypted = false;
  layout.hasManifestDb = false;
  EXPECT_EQ(layout.DatabasePath(kNotesDbId), fs::path("/b") / kNotesDbId);
  // IDs from a damaged manifest never lead out of the backup folder.
  EXPECT_TRUE(layout.MediaPath({"x", "../../etc/passwd"}).empty());
  EXPECT_TRUE(layout.MediaPath({"x", ".."}).empty());
  EXPECT_TRUE(layout.MediaPath({"x", ""}).empty());
}

TEST(BackupLayout, CallHistoryPrefersTheNewerStoreWhenItExists) {
  TempDir dir;
  BackupLayout layout{dir.path(), false, true};
  EXPECT_EQ(layout.CallHistoryDatabasePath(), layout.DatabasePath(kCallHistoryDbId));
  WriteFile(layout.DatabasePath(kCallHistoryStoreId), "SQLite format 3");
  EXPECT_EQ(layout.CallHistoryDatabasePath(), layout.DatabasePath(kCallHistoryStoreId));
}

}  // namespace
}  // namespace dunmere
