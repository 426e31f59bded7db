// Runs the dunmere program itself on fixture backups of every layout and checks what it prints,
// its exit status, and that no backup file changed.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include "backup/file_ids.h"
#include "backup/media_types.h"
#include "tests/support/encrypted_backup.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/heic_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using nlohmann::json;
using testing::FixtureBackup;
using testing::FixtureFile;
using testing::FixtureLayout;
using testing::TempDir;

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Appends s to command as one single-quoted shell word.
void AppendQuoted(std::string& command, const std::string& s) {
  command += '\'';
  for (char c : s) {
    if (c == '\'') {
      command += "'\\''";
    } else {
      command += c;
    }
  }
  command += '\'';
}

CliRun Dunmere(const std::vector<std::string>& args, const fs::path& appData, const std::string& input = "") {
  TempDir io;
  testing::WriteFile(io / "in", input);
  std::string command = "TMPDIR=";
  AppendQuoted(command, appData.string());
  command += " DUNMERE_APPDATA=";
  AppendQuoted(command, appData.string());
  command += " TZ=UTC ";
  AppendQuoted(command, DUNMERE_CLI);
  for (const std::string& a : args) {
    command += ' ';
    AppendQuoted(command, a);
  }
  command += " <";
  AppendQuoted(command, (io / "in").string());
  command += " >";
  AppendQuoted(command, (io / "out").string());
  command += " 2>";
  AppendQuoted(command, (io / "err").string());
  const int status = std::system(command.c_str());
  CliRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = testing::ReadFile(io / "out");
  run.err = testing::ReadFile(io / "err");
  return run;
}

std::vector<FixtureFile> DeviceFiles() {
  return {
      {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ContactsDatabaseBytes()},
      {"HomeDomain", "Library/SMS/sms.db", "SQLite format 3"},
      {"CameraRollDomain", "Media", "", testing::kModeFolder},
      {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", "\xFF\xD8\xFF\xE0 jpeg"},
      {"HomeDomain", "Library/link", "", testing::kModeSymlink},
  };
}

// A folder name with a blank, a quote and letters outside ASCII.
const char* const kModernFolder = "modern Zo\xC3\xAB's";

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FixtureBackup modern;
    modern.layout = FixtureLayout::kManifestDb;
    modern.info.displayName = "Modern \xC3\xA9";
    modern.info.productVersion = "15.2";
    modern.info.lastBackupUnix = 1700000000;
    modern.info.format = testing::PlistFormat::kBinary;
    modern.files = DeviceFiles();
    testing::WriteFixtureBackup(root_ / kModernFolder, modern);

    FixtureBackup old;
    old.layout = FixtureLayout::kManifestMbdb;
    old.info.displayName = "Old";
    old.info.phoneNumber = "+1 555 \xA3";  // not UTF-8: kept, shown as U+FFFD in JSON
    old.files = DeviceFiles();
    testing::WriteFixtureBackup(root_ / "old", old);

    FixtureBackup locked;
    locked.layout = FixtureLayout::kManifestDb;
    locked.encrypted = true;
    locked.info.displayName = "Locked";
    locked.info.lastBackupUnix = 1600000000;
    locked.files = DeviceFiles();
    testing::WriteFixtureBackup(root_ / "locked", locked);

    testing::WriteFile(root_ / "notes.txt", "stray file");
    before_ = testing::SnapshotTree(root_.path());
  }
  void TearDown() override { EXPECT_EQ(testing::SnapshotTree(root_.path()), before_) << "a backup file changed"; }

  TempDir root_;
  TempDir appData_;
  std::map<std::string, std::string> before_;
};

TEST_F(CliTest, ListJsonGivesFieldsOrderAndEncryption) {
  const CliRun run = Dunmere({"list", "--root", root_.path().string(), "--json"}, appData_.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json doc = json::parse(run.out);
  const json& backups = doc.at("backups");
  ASSERT_EQ(backups.size(), 3u);
  EXPECT_EQ(backups[0].at("displayName"), "Modern \xC3\xA9");
  EXPECT_EQ(backups[0].at("lastBackupDate"), "2023-11-14 22:13:20");
  EXPECT_EQ(backups[0].at("versionAbove11"), true);
  EXPECT_EQ(backups[0].at("encrypted"), false);
  EXPECT_EQ(backups[0].at("folderPath"), (root_ / kModernFolder).string());
  EXPECT_EQ(backups[1].at("displayName"), "Locked");
  EXPECT_EQ(backups[1].at("encrypted"), true);
  EXPECT_EQ(backups[2].at("displayName"), "Old");
  EXPECT_EQ(backups[2].at("phoneNumber"), "+1 555 \xEF\xBF\xBD");
  EXPECT_EQ(backups[2].at("serialNumber"), "F2LQ0000XXXX");
  EXPECT_EQ(backups[2].at("versionAbove11"), false);
  EXPECT_EQ(backups[2].at("encrypted"), false);

  const CliRun text = Dunmere({"list", "--root", root_.path().string()}, appData_.path());
  ASSERT_EQ(text.exitCode, 0);
  EXPECT_LT(text.out.find("Modern"), text.out.find("Locked"));
  EXPECT_LT(text.out.find("Locked"), text.out.find("Old"));
}

// A device name is the backup's word: its control characters (an escape sequence, a C1 control) reach
// the terminal as text, never as commands; the JSON keeps them, escaped by the JSON rules.
// The version with the commit the build recorded, and every command's options, each exit 0.
TEST(Conventions, VersionAndHelpOfEveryCommand) {
  TempDir dir;
  const CliRun version = Dunmere({"--version"}, dir.path());
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("dunmere [0-9]+\\.[0-9]+\\.[0-9]+ \\(commit ([0-9a-f]{12}\\+?|unknown)\\)\n")))
      << version.out;
  for (const char* command : {"list", "info", "scan", "export", "decode"}) {
    const CliRun help = Dunmere({command, "--help"}, dir.path());
    EXPECT_EQ(help.exitCode, 0) << command;
    EXPECT_NE(help.out.find(std::string("Usage: ")), std::string::npos) << command;
    EXPECT_NE(help.out.find("--"), std::string::npos) << command;
  }
}

TEST(ListCommand, ControlCharactersOfADeviceNameAreWrittenAsText) {
  TempDir root, appData;
  FixtureBackup backup;
  backup.info.displayName = "Evil\x1B]0;title\x07Phone \xC2\x9B";
  testing::WriteFixtureBackup(root / "b", backup);
  CliRun run = Dunmere({"list", "--root", root.path().string()}, appData.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.find('\x1B'), std::string::npos);
  EXPECT_EQ(run.out.find('\x07'), std::string::npos);
  EXPECT_NE(run.out.find("Evil\\x1B]0;title\\x07Phone \\x9B"), std::string::npos) << run.out;
  run = Dunmere({"info", (root / "b").string()}, appData.path());
  EXPECT_NE(run.out.find("Device:        Evil\\x1B"), std::string::npos) << run.out;
  run = Dunmere({"list", "--root", root.path().string(), "--json"}, appData.path());
  EXPECT_EQ(json::parse(run.out).at("backups")[0].at("displayName"), backup.info.displayName.value());
}

TEST_F(CliTest, InfoReportsTheManifestOfEachLayout) {
  CliRun run = Dunmere({"info", (root_ / kModernFolder).string(), "--json"}, appData_.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  json doc = json::parse(run.out);
  EXPECT_EQ(doc.at("backup").at("displayName"), "Modern \xC3\xA9");
  EXPECT_EQ(doc.at("manifest").at("kind"), "Manifest.db");
  EXPECT_EQ(doc.at("manifest").at("result"), 0);
  EXPECT_EQ(doc.at("manifest").at("entries"), 5);  // every row, folders included

  run = Dunmere({"info", (root_ / "old").string(), "--json"}, appData_.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  doc = json::parse(run.out);
  EXPECT_EQ(doc.at("manifest").at("kind"), "Manifest.mbdb");
  EXPECT_EQ(doc.at("manifest").at("entries"), 4);  // the folder record makes no entry

  run = Dunmere({"info", (root_ / "locked").string()}, appData_.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Encrypted:     yes"), std::string::npos) << run.out;
}

TEST_F(CliTest, FoldersThatAreNoBackupFailWithOneLine) {
  for (const fs::path& bad : {root_ / "missing", root_ / "notes.txt", appData_.path()}) {
    const CliRun run = Dunmere({"info", bad.string()}, appData_.path());
    EXPECT_EQ(run.exitCode, 1) << bad;
    EXPECT_TRUE(run.out.empty());
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_EQ(Dunmere({"list", "--root", (root_ / "missing").string()}, appData_.path()).exitCode, 1);
  EXPECT_EQ(Dunmere({"frobnicate"}, appData_.path()).exitCode, 1);
  EXPECT_EQ(Dunmere({"info"}, appData_.path()).exitCode, 1);
}

TEST_F(CliTest, DefaultRootIsUnderTheApplicationDataFolder) {
  CliRun run = Dunmere({"list", "--json"}, appData_.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(json::parse(run.out).at("backups").empty());
  const fs::path root = appData_ / "Apple Computer" / "MobileSync" / "Backup";
  fs::create_directories(root);
  fs::create_symlink(root_ / "old", root / "old");
  run = Dunmere({"list", "--json"}, appData_.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json backups = json::parse(run.out).at("backups");
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(backups[0].at("displayName"), "Old");
}

TEST(InfoCommand, EncryptedBackupWithPasswordFromStandardInput) {
  TempDir dir;
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", "SQLite format 3 body"},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", "SQLite format 3 contacts"},
                  {"HomeDomain", "Library", "", testing::kModeFolder}};
  testing::WriteEncryptedBackup(dir / "backup", backup, {"secret", 20, 5});
  const auto before = testing::SnapshotTree(dir / "backup");
  const fs::path appData = dir / "appdata";
  fs::create_directories(appData);

  CliRun run = Dunmere({"info", (dir / "backup").string(), "--json", "--password-stdin"}, appData, "nope\n");
  EXPECT_EQ(run.exitCode, 3) << run.err;
  run = Dunmere({"info", (dir / "backup").string(), "--json", "--password-stdin"}, appData, "secret\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json doc = json::parse(run.out);
  EXPECT_EQ(doc.at("backup").at("encrypted"), true);
  EXPECT_EQ(doc.at("manifest").at("kind"), "Manifest.db-decypted");
  EXPECT_EQ(doc.at("manifest").at("result"), 0);
  EXPECT_EQ(doc.at("manifest").at("entries"), 3);
  // Without a password (and no terminal) the summary still comes; the manifest stays unreadable.
  run = Dunmere({"info", (dir / "backup").string(), "--json"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(json::parse(run.out).at("manifest").at("result"), 1006);

  EXPECT_EQ(testing::SnapshotTree(dir / "backup"), before);
  // No decrypted file is left in the work folder.
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    if (entry.path().string().find("OrvantDunmereBackupPath") != std::string::npos && entry.is_regular_file()) {
      ADD_FAILURE() << "left behind: " << entry.path();
    }
  }
}

TEST(ScanCommand, CategoriesAsJsonAndEncryptedBackups) {
  TempDir dir;
  const std::string sms = testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("sms_ios9.2.1.sql"),
       "INSERT INTO handle (ROWID, id, service) VALUES (4, '+15550100001', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date, is_from_me) VALUES "
       "(1, 'g1', 'first live message', 4, 'SMS', 289094500, 1), (2, 'g2', 'a deleted message of some length', 4, 'SMS', 289094600, 0);",
       "DELETE FROM message WHERE ROWID = 2;"});
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", sms},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ContactsDatabaseBytes()}};
  testing::WriteFixtureBackup(dir / "plain", backup);
  testing::WriteEncryptedBackup(dir / "locked", backup, {"secret", 20, 5});
  const auto before = testing::SnapshotTree(dir.path());
  const fs::path appData = dir / "appdata";
  fs::create_directories(appData);

  CliRun run = Dunmere({"scan", (dir / "plain").string(), "-c", "messages", "--json"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  json doc = json::parse(run.out);
  EXPECT_EQ(doc.at("open"), 0);
  const json& conversations = doc.at("categories").at("messages").at("conversations");
  ASSERT_EQ(conversations.size(), 1u);
  EXPECT_EQ(conversations[0].at("handleId"), 4);
  EXPECT_EQ(conversations[0].at("handle"), "+15550100001");
  const json& messages = conversations[0].at("messages");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].at("text"), "first live message");
  EXPECT_EQ(messages[0].at("fromMe"), true);
  EXPECT_EQ(messages[1].at("deleted"), true);
  // The local date, and beside it the same instant with its offset (the tests run in UTC).
  const std::string date = messages[0].at("date");
  ASSERT_EQ(date.size(), 19u);
  EXPECT_EQ(messages[0].at("dateIso"), date.substr(0, 10) + "T" + date.substr(11) + "+00:00");
  EXPECT_FALSE(doc.at("categories").contains("contacts"));  // only the ticked category

  // The same backup reached through links above it and to it: read the same.
  fs::create_directory_symlink(dir.path(), dir / "above");
  fs::create_directory_symlink(dir / "above" / "plain", dir / "linked");
  CliRun linked = Dunmere({"scan", (dir / "linked").string(), "-c", "messages", "--json"}, appData);
  ASSERT_EQ(linked.exitCode, 0) << linked.err;
  EXPECT_EQ(json::parse(linked.out).at("categories"), doc.at("categories"));
  EXPECT_EQ(linked.err.find("warning"), std::string::npos) << linked.err;
  fs::remove(dir / "linked");
  fs::remove(dir / "above");

  run = Dunmere({"scan", (dir / "locked").string(), "--password-stdin", "--json"}, appData, "wrong\n");
  EXPECT_EQ(run.exitCode, 3);
  run = Dunmere({"scan", (dir / "locked").string(), "--password-stdin", "--json", "-c", "messages", "-c", "contacts"},
                appData, "secret\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  doc = json::parse(run.out);
  EXPECT_EQ(doc.at("categories").at("messages").at("conversations").size(), 1u);
  EXPECT_EQ(doc.at("categories").at("contacts").at("result"), 0);

  EXPECT_EQ(Dunmere({"scan", (dir / "plain").string(), "-c", "reminders"}, appData).exitCode, 1);
  EXPECT_EQ(Dunmere({"scan", (dir / "locked").string()}, appData).exitCode, 1);  // no password, no terminal
  fs::remove_all(appData);
  EXPECT_EQ(testing::SnapshotTree(dir.path()), before);
}

// A database that gives no record although its table holds rows says why, in the JSON and in the
// text; it is a warning, not a failure. A database that gives records says nothing more.
// A messages database whose "message" tree names a child past the end of the file: every message is
// listed all the same (the leaf cut off is found among the pages no tree reaches), and the category
// says which table is damaged and where.
TEST(ScanCommand, DamagedTablesToldWithTheirCategory) {
  TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db", {"PRAGMA page_size=1024;", testing::ReferenceSchema("sms_ios9.2.1.sql"),
                       "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550100001', 'SMS');",
                       "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 300) "
                       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) "
                       "SELECT x, 'g' || x, 'message number ' || x, 1, 'SMS', 289094500 + x FROM c;"});
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open_v2((dir / "sms.db").c_str(), &h, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(h, "SELECT rootpage FROM sqlite_master WHERE name = 'message'", -1, &stmt, nullptr);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  const auto root = static_cast<std::size_t>(sqlite3_column_int64(stmt, 0));
  sqlite3_finalize(stmt);
  sqlite3_close(h);
  std::string bytes = testing::ReadFile(dir / "sms.db");
  const std::size_t at = (root - 1) * 1024;
  ASSERT_EQ(static_cast<std::uint8_t>(bytes[at]), 0x05);  // an interior page over the leaves
  const std::uint32_t past = static_cast<std::uint32_t>(bytes.size() / 1024) + 3;
  for (int i = 0; i < 4; ++i) bytes[at + 8 + static_cast<std::size_t>(i)] = static_cast<char>(past >> (24 - 8 * i));
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", bytes}};
  testing::WriteFixtureBackup(dir / "backup", backup);
  const fs::path appData = dir / "appdata";
  fs::create_directories(appData);
  CliRun run = Dunmere({"scan", (dir / "backup").string(), "-c", "messages", "--json"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json messages = json::parse(run.out).at("categories").at("messages");
  ASSERT_EQ(messages.at("conversations").size(), 1u);
  EXPECT_EQ(messages.at("conversations")[0].at("messages").size(), 300u);
  const std::string warning = messages.at("warning");
  EXPECT_EQ(warning.rfind("the table \"message\" is damaged (its other pages were read): page " + std::to_string(past) +
                              " lies past the database's last page",
                          0),
            0u)
      << warning;
}

TEST(ScanCommand, DatabasesWhoseRowsGiveNoRecordSaySo) {
  TempDir dir;
  const std::string unknown = testing::SqliteDatabaseBytes(
      {"CREATE TABLE message (ROWID INTEGER PRIMARY KEY, body BLOB, stamp INTEGER);",
       "INSERT INTO message (body, stamp) VALUES (X'00FF', 1), (X'01FE', 2), (X'02FD', 3);"});
  const std::string people = testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("addressbook_ios5.sql"), "INSERT INTO ABPerson (ROWID, Note) VALUES (1, 'x'), (2, 'y');"});
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", unknown},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", people}};
  testing::WriteFixtureBackup(dir / "backup", backup);
  const fs::path appData = dir / "appdata";
  fs::create_directories(appData);

  CliRun run = Dunmere({"scan", (dir / "backup").string(), "-c", "messages", "-c", "contacts", "--json"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json doc = json::parse(run.out);
  const json& messages = doc.at("categories").at("messages");
  EXPECT_EQ(messages.at("result"), 0);
  EXPECT_TRUE(messages.at("conversations").empty());
  EXPECT_EQ(messages.at("warning"), "the table \"message\" holds 3 rows, none of which could be read or listed");
  // Rows that hold nothing of a person are no contacts: the address book says it holds two.
  EXPECT_EQ(doc.at("categories").at("contacts").at("warning"),
            "the table \"ABPerson\" holds 2 rows, none of which could be read or listed");
  EXPECT_FALSE(doc.contains("error"));

  run = Dunmere({"scan", (dir / "backup").string(), "-c", "messages"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("warning: Messages: the table \"message\" holds 3 rows"), std::string::npos) << run.out;

  // Rows that are read: no warning.
  const std::string sms = testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("sms_ios9.2.1.sql"), "INSERT INTO handle (ROWID, id, service) VALUES (4, '+1555', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (1, 'g1', 'hello', 4, 'SMS', 289094500);"});
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", sms}};
  testing::WriteFixtureBackup(dir / "read", backup);
  run = Dunmere({"scan", (dir / "read").string(), "-c", "messages", "--json"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(json::parse(run.out).at("categories").at("messages").contains("warning"));
  EXPECT_FALSE(json::parse(run.out).at("categories").at("messages").contains("log"));  // no log beside it

  // Rows that only the database's log holds are counted too.
  testing::MakeSqliteDatabaseWithLog(dir / "logged.db",
                                     {"CREATE TABLE message (ROWID INTEGER PRIMARY KEY, body BLOB, stamp INTEGER);"},
                                     {"INSERT INTO message (body, stamp) VALUES (X'00FF', 1), (X'01FE', 2);"});
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", testing::ReadFile(dir / "logged.db")},
                  {"HomeDomain", "Library/SMS/sms.db-wal", testing::ReadFile(dir / "logged.db-wal")}};
  testing::WriteFixtureBackup(dir / "logged", backup);
  run = Dunmere({"scan", (dir / "logged").string(), "-c", "messages", "--json"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(json::parse(run.out).at("categories").at("messages").value("warning", ""),
            "the table \"message\" holds 2 rows, none of which could be read or listed");
}

// A backup that keeps a database's write-ahead log as a file of its own (the manifest entry of the same
// path with "-wal"): messages inserted or deleted only in the log are seen as the device saw them, in
// both layouts; the backup's bytes are unchanged.
TEST(ScanCommand, DatabaseLogsKeptInTheBackup) {
  TempDir dir;
  testing::MakeSqliteDatabaseWithLog(
      dir / "sms.db",
      {testing::ReferenceSchema("sms_ios9.2.1.sql"), "INSERT INTO handle (ROWID, id, service) VALUES (4, '+1555', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (1, 'g1', 'in the file', 4, 'SMS', 289094500),"
       " (2, 'g2', 'deleted in the log', 4, 'SMS', 289094600);"},
      // Secure delete: the deleted message is left only in the file's version of its page.
      {"PRAGMA secure_delete=ON;",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (3, 'g3', 'only in the log', 4, 'SMS', 289094700);",
       "DELETE FROM message WHERE ROWID = 2;"});
  for (const testing::FixtureLayout layout : {testing::FixtureLayout::kManifestDb, testing::FixtureLayout::kManifestMbdb}) {
    testing::FixtureBackup backup;
    backup.layout = layout;
    backup.files = {{"HomeDomain", "Library/SMS/sms.db", testing::ReadFile(dir / "sms.db")},
                    {"HomeDomain", "Library/SMS/sms.db-wal", testing::ReadFile(dir / "sms.db-wal")}};
    const fs::path folder = dir / (layout == testing::FixtureLayout::kManifestDb ? "db" : "mbdb");
    testing::WriteFixtureBackup(folder, backup);
    const auto before = testing::SnapshotTree(folder);
    const fs::path appData = dir / "appdata";
    fs::create_directories(appData);
    const CliRun run = Dunmere({"scan", folder.string(), "-c", "messages", "--json"}, appData);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json doc = json::parse(run.out);
    const json& conversations = doc.at("categories").at("messages").at("conversations");
    ASSERT_EQ(conversations.size(), 1u) << run.out;
    std::map<std::string, bool> texts;  // text: deleted
    std::map<std::string, std::string> sources;
    for (const json& m : conversations[0].at("messages")) {
      texts[m.at("text")] = m.at("deleted");
      sources[m.at("text")] = m.value("source", "");
    }
    EXPECT_EQ(texts.count("only in the log"), 1u) << run.out;
    EXPECT_FALSE(texts["in the file"]);
    EXPECT_EQ(sources["in the file"], "");
    ASSERT_EQ(texts.count("deleted in the log"), 1u) << run.out;  // its bytes are still in the file
    EXPECT_TRUE(texts["deleted in the log"]);
    EXPECT_EQ(sources["deleted in the log"], "wal");
    // The category says its log was read, and how many rows came from it (the page the log rewrote).
    const json& log = doc.at("categories").at("messages").at("log");
    EXPECT_GT(log.at("frames").get<int>(), 0);
    EXPECT_GE(log.at("rows").get<int>(), 2);
    EXPECT_EQ(testing::SnapshotTree(folder), before);
  }
}

TEST(ExportCommand, WritesTheCategoriesAndOnlyDeletedOnAsk) {
  TempDir dir;
  const std::string sms = testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("sms_ios9.2.1.sql"),
       "INSERT INTO handle (ROWID, id, service) VALUES (4, '+15550100001', 'SMS'), (5, '+15550100002', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES "
       "(1, 'g1', 'live in the first conversation', 4, 'SMS', 289094500), (2, 'g2', 'live in the second one', 5, 'SMS', 289094550),"
       " (3, 'g3', 'a deleted message of some length', 5, 'SMS', 289094600);",
       "DELETE FROM message WHERE ROWID = 3;"});
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", sms},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG",
                   std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(600, 'j')}};
  testing::WriteFixtureBackup(dir / "backup", backup);
  const fs::path appData = dir / "appdata";
  fs::create_directories(appData);

  CliRun run = Dunmere({"export", (dir / "backup").string(), "--out", (dir / "all").string()}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
  EXPECT_NE(run.out.find("A Messages page: "), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(dir / "all" / "Camera Roll" / "IMG_0001.JPG"));
  EXPECT_TRUE(fs::exists(dir / "all" / "Message" / "sms.csv"));
  std::size_t pages = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir / "all" / "Message")) pages += e.path().extension() == ".html" ? 1 : 0;
  EXPECT_EQ(pages, 2u);
  EXPECT_TRUE(fs::exists(dir / "all" / "index.html"));

  run = Dunmere({"export", (dir / "backup").string(), "--out", (dir / "deleted").string(), "--deleted-only"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_FALSE(fs::exists(dir / "deleted" / "Camera Roll"));  // media have no deleted mark
  pages = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir / "deleted" / "Message")) {
    if (e.path().extension() != ".html") continue;
    ++pages;
    // The deleted message alone, in the page and in the text file beside it.
    const std::string page = testing::ReadFile(e.path());
    EXPECT_NE(page.find("del_recv_msg"), std::string::npos);
    EXPECT_EQ(page.find("live in the second one"), std::string::npos);
    const std::string text = testing::ReadFile(fs::path(e.path()).replace_extension(".txt"));
    EXPECT_NE(text.find("a deleted message"), std::string::npos);
    EXPECT_EQ(text.find("live in the second one"), std::string::npos);
  }
  EXPECT_EQ(pages, 1u);  // only the conversation holding a deleted message

  run = Dunmere({"export", (dir / "backup").string(), "--out", (dir / "x").string(), "-c", "bogus"}, appData);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("unknown category \"bogus\" (the categories: camera-roll, photo-stream, messages,"),
            std::string::npos) << run.err;
  EXPECT_EQ(Dunmere({"export", (dir / "backup").string()}, appData).exitCode, 1);  // --out is required
}

// --since and --until keep the dated records of those days (both included): a conversation is written
// with those of its messages alone, and the index names the range as the export's filter.
TEST(ExportCommand, ADayRangeNarrowsEveryFile) {
  TempDir dir;
  const std::string sms = testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("sms_ios9.2.1.sql"), "INSERT INTO handle (ROWID, id, service) VALUES (4, '+15550100001', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES "
       "(1, 'g1', 'on the sixth', 4, 'SMS', 600000000), (2, 'g2', 'on the seventh', 4, 'SMS', 600086400),"
       " (3, 'g3', 'on the eighth', 4, 'SMS', 600172800);"});
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", sms}};
  testing::WriteFixtureBackup(dir / "backup", backup);
  const fs::path appData = dir / "appdata";
  fs::create_directories(appData);
  CliRun run = Dunmere({"export", (dir / "backup").string(), "--out", (dir / "out").string(), "--since", "2020-01-07",
                        "--until", "2020-01-07"},
                       appData);
  ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
  std::size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir / "out" / "Message")) {
    const std::string name = e.path().filename().string();
    if (!e.is_regular_file() || name == "sms.csv") continue;  // the restore lines are the whole table
    ++files;
    const std::string written = testing::ReadFile(e.path());
    EXPECT_NE(written.find("on the seventh"), std::string::npos) << name;
    EXPECT_EQ(written.find("on the sixth"), std::string::npos) << name;
    EXPECT_EQ(written.find("on the eighth"), std::string::npos) << name;
  }
  EXPECT_EQ(files, 3u);  // the page, the text file, the readable CSV
  EXPECT_NE(testing::ReadFile(dir / "out" / "index.html").find("<td>since 2020-01-07; until 2020-01-07</td>"),
            std::string::npos);
  // Nothing in range: nothing to export.
  run = Dunmere({"export", (dir / "backup").string(), "--out", (dir / "none").string(), "--since", "2021-01-01"}, appData);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("Nothing to export."), std::string::npos) << run.out;
  run = Dunmere({"export", (dir / "backup").string(), "--out", (dir / "bad").string(), "--until", "2020-02-30x"}, appData);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_FALSE(fs::exists(dir / "bad"));
}

// A disk that fills up (a size limit on each file the run writes, 2 KiB): every file that could not
// be written whole is removed and named as failed, and the run ends with 1; no cut-off file is left.
TEST(ExportCommand, AFileThatCannotBeWrittenWholeIsAFailure) {
  TempDir dir;
  std::string values;
  for (int i = 1; i <= 40; ++i) {
    values += std::string(i == 1 ? "" : ",") + "(" + std::to_string(i) + ", 'g" + std::to_string(i) + "', '" +
              std::string(120, 'm') + "', 4, 'SMS', " + std::to_string(289094500 + i) + ")";
  }
  const std::string sms = testing::SqliteDatabaseBytes(
      {testing::ReferenceSchema("sms_ios9.2.1.sql"), "INSERT INTO handle (ROWID, id, service) VALUES (4, '+15550100001', 'SMS');",
       "INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES " + values + ";"});
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", sms},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG",
                   std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(9000, 'j')},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.JPG",
                   std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(600, 'j')}};
  testing::WriteFixtureBackup(dir / "backup", backup);
  const fs::path appData = dir / "appdata";
  fs::create_directories(appData);
  const fs::path out = dir / "out";
  std::string command = "ulimit -f 4; exec ";  // 4 blocks of 512 bytes
  AppendQuoted(command, DUNMERE_CLI);
  for (const std::string& a : {std::string("export"), (dir / "backup").string(), std::string("--out"), out.string()}) {
    command += ' ';
    AppendQuoted(command, a);
  }
  command += " >";
  AppendQuoted(command, (dir / "stdout").string());
  command += " 2>&1";
  std::string shell = "DUNMERE_APPDATA=";
  AppendQuoted(shell, appData.string());
  shell += " sh -c ";
  AppendQuoted(shell, command);
  const int status = std::system(shell.c_str());
  const std::string printed = testing::ReadFile(dir / "stdout");
  ASSERT_TRUE(WIFEXITED(status)) << printed;
  EXPECT_EQ(WEXITSTATUS(status), 1) << printed;
  // The big picture, the conversation and the messages table could not be written whole; the small
  // picture could.
  EXPECT_NE(printed.find("Exported 1 of 3 items"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Failed: " + (out / "Camera Roll" / "IMG_0001.JPG").string()), std::string::npos) << printed;
  EXPECT_NE(printed.find("(+15550100001).txt: File too large."), std::string::npos) << printed;
  EXPECT_NE(printed.find("sms.csv: File too large."), std::string::npos) << printed;
  EXPECT_FALSE(fs::exists(out / "Camera Roll" / "IMG_0001.JPG"));
  EXPECT_EQ(fs::file_size(out / "Camera Roll" / "IMG_0002.JPG"), 610u);
  for (const auto& e : fs::recursive_directory_iterator(out)) {
    if (e.is_regular_file()) {
      EXPECT_LT(e.file_size(), 2048u) << e.path();
    }
    if (e.path().extension() == ".html") {
      EXPECT_NE(testing::ReadFile(e.path()).find("</html>"), std::string::npos) << e.path();
    }
  }
}

// --heic-jpeg: a JPEG beside each HEIC picture, the original copied unchanged; a HEIC that cannot be
// decoded is a failed item, told, and the run ends with 1. Without the flag nothing more is written.
TEST(ExportCommand, JpegBesideEachHeicOnAsk) {
  TempDir dir;
  const std::string heic = testing::MakeHeic(96, 64, {200, 40, 40}, {40, 40, 200});
  const std::string damaged = std::string("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24) + std::string(700, 'x');
  testing::FixtureBackup backup;
  backup.files = {{"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.HEIC", heic},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0003.HEIC", damaged},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0004.JPG",
                   std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10) + std::string(600, 'j')}};
  testing::WriteFixtureBackup(dir / "backup", backup);
  const auto before = testing::SnapshotTree(dir / "backup");
  const fs::path appData = dir / "appdata";
  fs::create_directories(appData);

  CliRun run = Dunmere({"export", (dir / "backup").string(), "--out", (dir / "plain").string(), "-c", "camera-roll"}, appData);
  ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
  EXPECT_NE(run.out.find("Exported 3 of 3 items"), std::string::npos) << run.out;
  EXPECT_EQ(testing::ReadFile(dir / "plain" / "Camera Roll" / "IMG_0002.HEIC"), heic);
  EXPECT_FALSE(fs::exists(dir / "plain" / "Camera Roll" / "IMG_0002.jpg"));

  run = Dunmere({"export", (dir / "backup").string(), "--out", (dir / "jpeg").string(), "-c", "camera-roll", "--heic-jpeg"},
                appData);
  EXPECT_EQ(run.exitCode, 1) << run.err << run.out;  // the damaged one
  EXPECT_NE(run.out.find("Exported 4 of 5 items"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Failed: " + (dir / "jpeg" / "Camera Roll" / "IMG_0003.jpg").string()), std::string::npos) << run.out;
  const fs::path roll = dir / "jpeg" / "Camera Roll";
  EXPECT_EQ(testing::ReadFile(roll / "IMG_0002.HEIC"), heic);
  EXPECT_EQ(testing::ReadFile(roll / "IMG_0003.HEIC"), damaged);  // the original, whatever it holds
  EXPECT_EQ(DetectMediaType(roll / "IMG_0002.jpg"), "jpg");
  EXPECT_FALSE(fs::exists(roll / "IMG_0003.jpg"));
  EXPECT_FALSE(fs::exists(roll / "IMG_0004.jpg"));  // a JPEG stays as it is
  EXPECT_EQ(testing::SnapshotTree(dir / "backup"), before);
}

TEST(DecodeCommand, TableRowsAsJsonLiveFirst) {
  TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096;", testing::ReferenceSchema("sms_ios9.2.1.sql"),
       "INSERT INTO handle (ROWID, id, service) VALUES (1, '+15550100001', 'SMS'), (2, 'gone@example.com', 'iMessage'),"
       " (3, '+15550100003', 'SMS');",
       "DELETE FROM handle WHERE ROWID = 2;"});
  const auto before = testing::SnapshotTree(dir.path());
  CliRun run = Dunmere({"decode", (dir / "sms.db").string(), "--table", "handle", "--json"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json doc = json::parse(run.out);
  EXPECT_EQ(doc.at("table"), "handle");
  EXPECT_EQ(doc.at("result"), 0);
  const json& rows = doc.at("rows");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].at("deleted"), false);
  EXPECT_EQ(rows[0].at("rowId"), 1);
  EXPECT_EQ(rows[0].at("text"), "+15550100001");
  EXPECT_EQ(rows[1].at("text"), "+15550100003");
  EXPECT_EQ(rows[2].at("deleted"), true);
  EXPECT_EQ(rows[2].at("text"), "gone@example.com");
  EXPECT_EQ(testing::SnapshotTree(dir.path()), before);  // nothing written beside the database

  run = Dunmere({"decode", (dir / "sms.db").string(), "--table", "no_such_table"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1);
  testing::WriteFile(dir / "text.db", "just text");

  // A table no decoder knows: its declared columns and every value as stored, blobs in hex.
  testing::MakeSqliteDatabase(
      dir / "app.db", {"PRAGMA page_size=4096;", "CREATE TABLE kv (k TEXT, v BLOB, n REAL, id INTEGER PRIMARY KEY);",
                       "INSERT INTO kv VALUES ('first key', x'00AB', 3, NULL), ('second key, deleted later', x'FF', 1.5, 9);",
                       "DELETE FROM kv WHERE id = 9;"});
  run = Dunmere({"decode", (dir / "app.db").string(), "--table", "kv", "--json"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json any = json::parse(run.out);
  EXPECT_EQ(any.at("columns"), json({"k", "v", "n", "id"}));
  ASSERT_EQ(any.at("rows").size(), 2u);
  EXPECT_EQ(any.at("rows")[0], json({{"deleted", 0}, {"rowId", 1}, {"values", {"first key", "X'00AB'", 3.0, 1}}}));
  // The freed cell's first column lost its type to the freeblock header: null there, the rest placed.
  EXPECT_EQ(any.at("rows")[1], json({{"deleted", 1}, {"rowId", nullptr}, {"values", {nullptr, "X'FF'", 1.5, nullptr}}}));
  run = Dunmere({"decode", (dir / "text.db").string(), "--table", "handle"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("not a SQLite database"), std::string::npos);
}

// A tree whose root names a child past the end of the file: every leaf's rows are given (the one cut
// off found among the pages no tree reaches), the damage is told on standard error and in the JSON
// document, and the run ends well (the table was read).
TEST(DecodeCommand, DamagedTreeToldAndTheRestRead) {
  TempDir dir;
  testing::MakeSqliteDatabase(dir / "kv.db", {"PRAGMA page_size=1024;", "CREATE TABLE kv (k TEXT, v TEXT);",
                                              "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 400) "
                                              "INSERT INTO kv SELECT 'key ' || x, 'value of key ' || x FROM c;"});
  std::string bytes = testing::ReadFile(dir / "kv.db");
  // The table's root is page 2, an interior page over leaves: its right-most child set past the end.
  const std::size_t root = 1024;
  ASSERT_EQ(static_cast<std::uint8_t>(bytes[root]), 0x05);
  const std::uint32_t past = static_cast<std::uint32_t>(bytes.size() / 1024) + 7;
  for (int i = 0; i < 4; ++i) bytes[root + 8 + static_cast<std::size_t>(i)] = static_cast<char>(past >> (24 - 8 * i));
  testing::WriteFile(dir / "damaged.db", bytes);
  CliRun run = Dunmere({"decode", (dir / "damaged.db").string(), "--table", "kv", "--json"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json doc = json::parse(run.out);
  EXPECT_EQ(doc.at("result"), 0);
  // Every row: the leaf the pointer stood for is found among the pages no tree reaches.
  std::size_t live = 0;
  for (const json& row : doc.at("rows")) live += row.at("deleted") == 0 ? 1 : 0;
  EXPECT_EQ(live, 400u);
  ASSERT_EQ(doc.at("damage").size(), 2u);
  EXPECT_EQ(doc.at("damage")[0].at("page"), past);
  EXPECT_NE(doc.at("damage")[0].at("why").get<std::string>().find("past the database's last page"), std::string::npos);
  EXPECT_NE(doc.at("damage")[1].at("why").get<std::string>().find("that no tree reaches any more"), std::string::npos);
  EXPECT_NE(run.err.find("damaged database: page " + std::to_string(past)), std::string::npos) << run.err;
  // The same in text: the damage line on standard error.
  run = Dunmere({"decode", (dir / "damaged.db").string(), "--table", "kv"}, dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.err.find("damaged database: page " + std::to_string(past)), std::string::npos) << run.err;
  // An undamaged file says nothing of damage.
  run = Dunmere({"decode", (dir / "kv.db").string(), "--table", "kv", "--json"}, dir.path());
  EXPECT_FALSE(json::parse(run.out).contains("damage"));
}

// A log beside the file that cannot be read (a FIFO, a link) is told; the file is read without it.
TEST(DecodeCommand, ALogThatCannotBeReadIsTold) {
  TempDir dir;
  testing::MakeSqliteDatabase(dir / "kv.db", {"CREATE TABLE kv (k TEXT, v TEXT);", "INSERT INTO kv VALUES ('a', 'b');"});
  ASSERT_EQ(::mkfifo((dir / "kv.db-wal").c_str(), 0600), 0);
  CliRun run = Dunmere({"decode", (dir / "kv.db").string(), "--table", "kv", "--json"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(json::parse(run.out).at("rows").size(), 1u);
  EXPECT_NE(run.err.find("kv.db-wal cannot be read (it is not a regular file)"), std::string::npos) << run.err;
  fs::remove(dir / "kv.db-wal");
  fs::create_symlink(dir / "elsewhere", dir / "kv.db-wal");
  run = Dunmere({"decode", (dir / "kv.db").string(), "--table", "kv"}, dir.path());
  EXPECT_NE(run.err.find("kv.db-wal cannot be read"), std::string::npos) << run.err;
  fs::remove(dir / "kv.db-wal");
  run = Dunmere({"decode", (dir / "kv.db").string(), "--table", "kv"}, dir.path());
  EXPECT_EQ(run.err.find("cannot be read"), std::string::npos) << run.err;
}

// A run that runs out of memory (its address space held to 100 MB, the table's rows need more) ends
// with its reason on one line and exit 1, not an abort.
TEST(DecodeCommand, OutOfMemoryIsAFailureWithItsReason) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
  TempDir dir;
  testing::MakeSqliteDatabase(dir / "big.db", {"CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT);",
                                               "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 200000) "
                                               "INSERT INTO t (v) SELECT printf('%.200c', 'v') FROM c;"});
  std::string command = "ulimit -v 100000; exec ";
  AppendQuoted(command, DUNMERE_CLI);
  command += " decode ";
  AppendQuoted(command, (dir / "big.db").string());
  command += " --table t --json >/dev/null 2>";
  AppendQuoted(command, (dir / "err").string());
  const int status = std::system(("sh -c " + [&] {
                                    std::string quoted;
                                    AppendQuoted(quoted, command);
                                    return quoted;
                                  }()).c_str());
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(testing::ReadFile(dir / "err"), "dunmere: out of memory: the run was stopped\n");
#endif
}

// A cell that claims a 600 MB payload in a sparse file of that size: the payload is read as far as
// its overflow pages go (the buffer grows with them, it is never sized by the claim), the rest of the
// table is read, and the cell is damage told once. Its address space held to 300 MB.
TEST(DecodeCommand, APayloadClaimedBeyondWhatExistsCostsWhatExists) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
  TempDir dir;
  std::string bytes = testing::SqliteDatabaseBytes({"PRAGMA page_size = 4096;", "CREATE TABLE t (id INTEGER PRIMARY KEY, v BLOB);",
                                                    "INSERT INTO t VALUES (1, randomblob(10000)), (2, 'short');"});
  constexpr std::size_t kPage = 4096;  // page 2 is the table's one leaf
  auto be16 = [&](std::size_t at) {
    return static_cast<std::size_t>((static_cast<std::uint8_t>(bytes[at]) << 8) | static_cast<std::uint8_t>(bytes[at + 1]));
  };
  ASSERT_EQ(be16(kPage + 3), 2u);
  const std::size_t first = kPage + be16(kPage + 8), second = kPage + be16(kPage + 10);
  // Row 1's cell: a two-byte length (10,005), row id 1, its local part, then its first overflow page.
  ASSERT_EQ(static_cast<std::uint8_t>(bytes[first + 2]), 1);
  constexpr std::size_t kMinLocal = (4096 - 12) * 32 / 255 - 23;  // 489: all a long payload keeps on its page
  const std::size_t originalLocal = kMinLocal + (10005 - kMinLocal) % 4092;
  // The same cell claiming kMinLocal + 4092 * k bytes (its local part then kMinLocal), written in the
  // page's free gap in front of the cells and named by the first cell pointer.
  constexpr std::uint64_t kPages = 146'600;
  const std::uint64_t claimed = kMinLocal + 4092 * kPages;
  std::string cell(9, '\0');
  std::uint64_t v = claimed;
  cell[8] = static_cast<char>(v & 0xFF);
  v >>= 8;
  for (int i = 7; i >= 0; --i, v >>= 7) cell[static_cast<std::size_t>(i)] = static_cast<char>((v & 0x7F) | 0x80);
  cell += '\x01';
  cell += bytes.substr(first + 3, kMinLocal);
  cell += bytes.substr(first + 3 + originalLocal, 4);
  const std::size_t at = std::min(first, second) - cell.size();
  bytes.replace(at, cell.size(), cell);
  bytes[kPage + 8] = bytes[kPage + 5] = static_cast<char>((at - kPage) >> 8);
  bytes[kPage + 9] = bytes[kPage + 6] = static_cast<char>((at - kPage) & 0xFF);
  testing::WriteFile(dir / "claims.db", bytes);
  fs::resize_file(dir / "claims.db", (kPages + 100) * kPage);  // sparse: the pages the claim needs exist

  std::string command = "ulimit -v 300000; exec ";
  AppendQuoted(command, DUNMERE_CLI);
  command += " decode ";
  AppendQuoted(command, (dir / "claims.db").string());
  command += " --table t --json >";
  AppendQuoted(command, (dir / "out").string());
  command += " 2>";
  AppendQuoted(command, (dir / "err").string());
  std::string shell = "sh -c ";
  AppendQuoted(shell, command);
  const int status = std::system(shell.c_str());
  const std::string err = testing::ReadFile(dir / "err");
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
  ASSERT_EQ(WEXITSTATUS(status), 0) << err;
  const json rows = json::parse(testing::ReadFile(dir / "out")).at("rows");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("values"), json::parse(R"([2, "short"])"));
  EXPECT_EQ(err, "dunmere: damaged database: page 2 holds a cell whose payload claims " + std::to_string(claimed) +
                     " bytes, of which its overflow pages hold " + std::to_string(kMinLocal + 2 * 4092) + "\n");
#endif
}

// The file's tables, live and dropped, and a dropped table's rows by its old name.
TEST(DecodeCommand, TablesLiveAndDropped) {
  TempDir dir;
  testing::MakeSqliteDatabase(dir / "app.db", {"CREATE TABLE kept (id INTEGER PRIMARY KEY, v TEXT);",
                                               "CREATE TABLE gone (id INTEGER PRIMARY KEY, v TEXT);",
                                               "INSERT INTO gone (v) VALUES ('one row of a dropped table'), ('another');",
                                               "DROP TABLE gone;"});
  CliRun run = Dunmere({"decode", (dir / "app.db").string(), "--tables", "--json"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(json::parse(run.out), json::parse(R"({"result": 0, "tables": [{"name": "kept", "rootPage": 2, "dropped": false},
                                                   {"name": "gone", "rootPage": 3, "dropped": true}]})"));
  run = Dunmere({"decode", (dir / "app.db").string(), "--tables"}, dir.path());
  EXPECT_EQ(run.out, "kept\t2\tlive\ngone\t3\tdropped\n");
  run = Dunmere({"decode", (dir / "app.db").string(), "--table", "gone", "--json"}, dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json doc = json::parse(run.out);
  EXPECT_EQ(doc.at("columns"), json({"id", "v"}));
  std::set<std::string> values;
  for (const json& row : doc.at("rows")) {
    EXPECT_EQ(row.at("deleted"), 1);
    values.insert(row.at("values")[1].get<std::string>());
  }
  EXPECT_EQ(values, (std::set<std::string>{"one row of a dropped table", "another"}));
  // A virtual table has no rows to give: it says so, and where its module keeps them.
  testing::MakeSqliteDatabase(dir / "fts.db", {"CREATE VIRTUAL TABLE search USING fts4(a, b);",
                                               "INSERT INTO search VALUES ('one', 'two');"});
  run = Dunmere({"decode", (dir / "fts.db").string(), "--table", "search"}, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("\"search\" is a virtual table"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("search_content"), std::string::npos) << run.err;
  // One of the two, not both.
  EXPECT_NE(Dunmere({"decode", (dir / "app.db").string()}, dir.path()).exitCode, 0);
  EXPECT_NE(Dunmere({"decode", (dir / "app.db").string(), "--tables", "--table", "gone"}, dir.path()).exitCode, 0);
}

}  // namespace
}  // namespace dunmere

namespace dunmere {
namespace {

// A deleted row with an impossible value is kept out of the rows; --doubtful lists it, marked.
TEST(DecodeCommand, DoubtfulRowsOnlyOnRequestAndMarked) {
  TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096;", testing::ReferenceSchema("sms_ios6.1.6.sql"),
       "INSERT INTO message (ROWID, guid, text, date) VALUES (1, 'G1', 'live and well', 300000000),"
       " (2, 'G2', 'deleted, dated fine', 300000100), (3, 'G3', 'deleted, dated in the year 2159', 5000000000);",
       "DELETE FROM message WHERE ROWID IN (2, 3);"});
  for (const bool doubtful : {false, true}) {
    std::vector<std::string> args{"decode", (dir / "sms.db").string(), "--table", "message", "--json"};
    if (doubtful) args.push_back("--doubtful");
    CliRun run = Dunmere(args, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::map<std::string, bool> marked;
    const json doc = json::parse(run.out);
    for (const json& row : doc.at("rows")) {
      marked[row.at("text").get<std::string>()] = row.value("doubtful", false);
    }
    EXPECT_EQ(marked.count("live and well"), 1u);
    EXPECT_FALSE(marked["deleted, dated fine"]);
    EXPECT_EQ(marked.count("deleted, dated in the year 2159"), doubtful ? 1u : 0u);
    if (doubtful) {
      EXPECT_TRUE(marked["deleted, dated in the year 2159"]);
    }
  }
}

}  // namespace
}  // namespace dunmere
