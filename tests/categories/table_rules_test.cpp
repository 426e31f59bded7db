// The device tables over the recovery engine: the value rules that keep misreadings out, flags read
// by value, live rows never dropped, repeats, and deleted rows on overflow pages.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "categories/table_decoders.h"
#include "categories/table_map.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
using testing::InsertRow;
using testing::ReferenceSchema;
using testing::SqlText;

std::string Guid(int i) {
  char guid[40];
  std::snprintf(guid, sizeof guid, "%08X-AAAA-BBBB-CCCC-%012X", i, i * 7919);
  return guid;
}

std::string Message(int i, long long date, int fromMe, const std::string& text) {
  return InsertRow("message", {{"ROWID", std::to_string(i)}, {"guid", SqlText(Guid(i))}, {"text", SqlText(text)},
                               {"handle_id", std::to_string(1 + i % 3)}, {"service", "'iMessage'"},
                               {"date", std::to_string(date)}, {"is_from_me", std::to_string(fromMe)}});
}

// Files of schema format 1 store the values 0 and 1 as one-byte integers: flags come from the value.
TEST(MessageTable, FlagsByValueInAFormatOneFile) {
  testing::TempDir dir;
  const auto path = dir / "old.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  int legacy = 0;
  sqlite3_db_config(db, SQLITE_DBCONFIG_LEGACY_FILE_FORMAT, 1, &legacy);
  const std::string sql = "PRAGMA secure_delete=OFF;" + ReferenceSchema("sms_ios6.1.6.sql") +
                          Message(1, 300000000, 1, "sent by me, kept") + Message(2, 300000100, 0, "received, kept") +
                          Message(3, 300000200, 1, "sent by me and deleted") + "DELETE FROM message WHERE ROWID = 3;";
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  ASSERT_EQ(testing::ReadFile(path)[47], 1) << "the file is not of format 1";

  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(path), kOk);
  std::vector<MessageRecord> out;
  ASSERT_EQ(DecodeMessages(reader, out), kOk);
  ASSERT_EQ(out.size(), 3u);
  std::map<std::string, int> fromMe;
  for (const MessageRecord& m : out) fromMe[m.text] = m.fromMe;
  EXPECT_EQ(fromMe["sent by me, kept"], 1);
  EXPECT_EQ(fromMe["received, kept"], 0);
  EXPECT_EQ(fromMe["sent by me and deleted"], 1);
}

// A live row is shown whatever its bytes; an updated row's old cell, where its bytes survive, is
// not shown as a deletion when it differs only in columns no record shows.
TEST(MessageTable, LiveRowsWhateverTheirBytesAndOldCopies) {
  testing::TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096;", ReferenceSchema("sms_ios6.1.6.sql"),
       InsertRow("message", {{"ROWID", "1"}, {"guid", "'G1'"}, {"text", "CAST(X'41FF42' AS TEXT)"}, {"date", "289094500"}}),
       InsertRow("message", {{"ROWID", "2"}, {"guid", "'G2'"}, {"text", "CAST(X'410042' AS TEXT)"}, {"date", "289094500"}}),
       InsertRow("message", {{"ROWID", "3"}, {"guid", "'G3'"}, {"text", "'a reply \xEF\xBF\xBD'"}, {"date", "289094500"}}),
       Message(4, 300000000, 0, "the same text ever after"), Message(5, 300000000, 0, "a first wording"),
       "UPDATE message SET service = 'a much longer service name', is_read = 1 WHERE ROWID = 4;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "sms.db"), kOk);
  std::vector<MessageRecord> out;
  ASSERT_EQ(DecodeMessages(reader, out), kOk);
  std::vector<std::string> live, deleted;
  for (const MessageRecord& m : out) (m.deleted != 0 ? deleted : live).push_back(m.text);
  EXPECT_EQ(live, (std::vector<std::string>{"A\xEF\xBF\xBD" "B", "A\xEF\xBF\xBD" "B", "a reply \xEF\xBF\xBD",
                                            "the same text ever after", "a first wording"}));
  EXPECT_TRUE(deleted.empty());
}

// Rows deleted together free whole leaves, whose cells keep their row ids: two deleted rows of the
// same values are two rows.
TEST(NoteBodyTable, IdenticalDeletedRowsWithDifferentRowIds) {
  std::vector<std::string> sql = {"PRAGMA page_size=1024; PRAGMA auto_vacuum=0;", ReferenceSchema("oldnotes_ios6.1.6.sql")};
  for (int i = 1; i <= 200; ++i) {
    const std::string content = i == 3 || i == 4 ? "the same body twice" : "body " + std::to_string(i) + " text";
    sql.push_back(InsertRow("ZNOTEBODY", {{"Z_PK", std::to_string(i)}, {"Z_ENT", "2"}, {"Z_OPT", "1"},
                                          {"ZOWNER", "7"}, {"ZCONTENT", SqlText(content)}}));
  }
  sql.push_back("DELETE FROM ZNOTEBODY WHERE Z_PK BETWEEN 1 AND 190;");
  testing::TempDir dir;
  testing::MakeSqliteDatabase(dir / "notes.db", sql);
  const std::string bytes = testing::ReadFile(dir / "notes.db");
  ASSERT_NE(bytes.find("the same body twice"), bytes.rfind("the same body twice")) << "both rows' bytes survive";
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "notes.db"), kOk);
  std::vector<NoteRecord> out;
  ASSERT_EQ(DecodeNoteBodies(reader, out), kOk);
  std::set<int> ids;
  for (const NoteRecord& n : out) {
    if (n.deleted != 0 && n.content == "the same body twice") ids.insert(n.noteId);
  }
  EXPECT_EQ(ids, (std::set<int>{3, 4}));
}

// The value rules each field of a deleted row must pass.
TEST(FieldRules, DatesFlagsReferencesTextsAndRequiredFields) {
  testing::TempDir dir;
  testing::MakeSqliteDatabase(dir / "db", {"CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT);",
                                           "INSERT INTO handle (id) VALUES ('a'), ('b'), ('c');",
                                           "DELETE FROM handle WHERE ROWID = 3;",
                                           "CREATE TABLE plain (ROWID INTEGER PRIMARY KEY, x);",
                                           "INSERT INTO plain VALUES (5, 1);"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "db"), kOk);
  const IdLimits limits(reader);
  const auto integer = [](std::int64_t v) {
    AnyValue a;
    a.kind = AnyValue::Kind::kInteger;
    a.integer = v;
    return a;
  };
  const auto real = [](double v) {
    AnyValue a;
    a.kind = AnyValue::Kind::kReal;
    a.real = v;
    return a;
  };
  const auto text = [](std::string v) {
    AnyValue a;
    a.kind = AnyValue::Kind::kText;
    a.bytes = std::move(v);
    return a;
  };
  const FieldSpec date{"d", FieldRule::kAppleDate};
  EXPECT_TRUE(FieldPasses(date, integer(600000000), limits));                 // 2020, seconds
  EXPECT_TRUE(FieldPasses(date, integer(600000000000000000LL), limits));      // 2020, nanoseconds
  EXPECT_TRUE(FieldPasses(date, real(600000000.5), limits));
  EXPECT_FALSE(FieldPasses(date, integer(1300000000), limits));               // 2042
  EXPECT_FALSE(FieldPasses(date, integer(-700000000), limits));               // 1978
  EXPECT_FALSE(FieldPasses(date, text("600000000"), limits));
  EXPECT_TRUE(FieldPasses(date, AnyValue{}, limits));                         // empty
  const FieldSpec requiredDate{"d", FieldRule::kAppleDate, true};
  EXPECT_FALSE(FieldPasses(requiredDate, AnyValue{}, limits));
  EXPECT_FALSE(FieldPasses(requiredDate, integer(0), limits));                // the first second of 2001
  const FieldSpec unix{"u", FieldRule::kUnixDate};
  EXPECT_TRUE(FieldPasses(unix, integer(1267401600), limits));
  EXPECT_FALSE(FieldPasses(unix, integer(600000000), limits));                // 1989
  const FieldSpec flag{"f", FieldRule::kFlag};
  EXPECT_TRUE(FieldPasses(flag, integer(1), limits));
  EXPECT_FALSE(FieldPasses(flag, integer(2), limits));
  // Ids up to the counter of sqlite_sequence (3, though row 3 is gone), or the highest row id.
  const FieldSpec handle{"h", FieldRule::kRowRef, false, "handle"};
  EXPECT_TRUE(FieldPasses(handle, integer(3), limits));
  EXPECT_FALSE(FieldPasses(handle, integer(4), limits));
  EXPECT_FALSE(FieldPasses(handle, integer(-1), limits));
  // Without a counter, the highest row id left and a margin for rows deleted above it.
  EXPECT_TRUE(FieldPasses(FieldSpec{"p", FieldRule::kRowRef, false, "plain"}, integer(1005), limits));
  EXPECT_FALSE(FieldPasses(FieldSpec{"p", FieldRule::kRowRef, false, "plain"}, integer(1006), limits));
  EXPECT_FALSE(FieldPasses(handle, integer(1829148676), limits));
  const FieldSpec words{"t", FieldRule::kText};
  EXPECT_TRUE(FieldPasses(words, text("two lines\r\nand a\ttab"), limits));
  EXPECT_FALSE(FieldPasses(words, text(std::string("a\x01" "b")), limits));
  EXPECT_FALSE(FieldPasses(words, text("bad \xFF byte"), limits));
  EXPECT_FALSE(FieldPasses(words, integer(7), limits));
  EXPECT_TRUE(FieldPasses(FieldSpec{"p", FieldRule::kPhones}, text("+1 (555) 010-0001 5550100001"), limits));
  EXPECT_FALSE(FieldPasses(FieldSpec{"p", FieldRule::kPhones}, text("00338 u48@examp"), limits));
  EXPECT_TRUE(FieldPasses(FieldSpec{"e", FieldRule::kEmails}, text("ann@example.com a@b.org"), limits));
  EXPECT_FALSE(FieldPasses(FieldSpec{"e", FieldRule::kEmails}, text("ann@example.com golf"), limits));
}

}  // namespace
}  // namespace dunmere

namespace dunmere {
namespace {

// A deleted message too long for its page keeps the rest of itself on freed overflow pages: it comes
// back whole, and so does one too long for the page that was never deleted. (The freelist already
// has a trunk page, as in any database in use: the first page freed into an empty freelist becomes
// its trunk and loses its first bytes.)
// Dates no earlier than the first phone and no later than a day after the backup: deleted rows dated
// outside are misreadings (one read 2038 and 2005 for a message of 2017); live rows stay whatever
// their dates.
TEST(MessageTable, DatesInsideTheDevicesTimeAndTheBackup) {
  testing::TempDir dir;
  // Apple seconds: 2017-03-05, 2038-05-15, 2005-10-14; 2016-05-05 just within a day of the backup.
  testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096;", testing::ReferenceSchema("sms_ios9.2.1.sql"),
       Message(1, 510000000, 0, "live, dated after the backup"), Message(2, 510000100, 0, "deleted, after the backup"),
       Message(3, 1179000000, 0, "deleted, in 2038"), Message(4, 151000000, 0, "deleted, in 2005"),
       Message(5, 484100000, 0, "deleted, on the day after the backup"), Message(6, 484000000, 0, "deleted, fine"),
       "DELETE FROM message WHERE ROWID > 1;"});
  const auto texts = [&](std::int64_t latestDate) {
    DatabaseFile file(dir / "sms.db");
    file.latestDate = latestDate;
    SqliteFileReader reader;
    EXPECT_EQ(reader.Open(file), kOk);
    std::vector<MessageRecord> out;
    EXPECT_EQ(DecodeMessages(reader, out), kOk);
    std::set<std::string> shown;
    for (const MessageRecord& m : out) shown.insert(m.text);
    return shown;
  };
  const std::int64_t backup = 1462365296;  // 2016-05-04 12:34:56 UTC
  EXPECT_EQ(texts(backup + 86400),
            (std::set<std::string>{"live, dated after the backup", "deleted, on the day after the backup", "deleted, fine"}));
  // A file whose backup is not known keeps the dates up to 2040.
  EXPECT_EQ(texts(0), (std::set<std::string>{"live, dated after the backup", "deleted, after the backup",
                                             "deleted, in 2038", "deleted, on the day after the backup",
                                             "deleted, fine"}));
}

TEST(MessageTable, DeletedRowsOnOverflowPages) {
  const std::string longText = "a long message " + std::string(9000, 'z') + " that ends here";
  testing::TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db", {"PRAGMA page_size=4096; PRAGMA auto_vacuum=0;", ReferenceSchema("sms_ios11.2.sql"),
                       "CREATE TABLE scratch (x); INSERT INTO scratch VALUES (zeroblob(20000)); DROP TABLE scratch;",
                       Message(1, 600000000000000000LL, 1, "short and live"), Message(2, 600000001000000000LL, 0, longText),
                       Message(3, 600000002000000000LL, 1, "live and long " + longText),
                       "DELETE FROM message WHERE ROWID = 2;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "sms.db"), kOk);
  std::vector<MessageRecord> out;
  ASSERT_EQ(DecodeMessages(reader, out), kOk);
  std::map<std::string, int> deleted;
  for (const MessageRecord& m : out) deleted[m.text] = m.deleted;
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(deleted.at("short and live"), 0);
  EXPECT_EQ(deleted.at("live and long " + longText), 0);
  EXPECT_EQ(deleted.at(longText), 1);
}

}  // namespace
}  // namespace dunmere
