// The message and contact value lines, character for character on small databases.
#include <gtest/gtest.h>

#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/value_lines.h"
#include "tests/support/sql_text.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
using testing::InsertRow;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return lines;
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(WriteMessageLines, LiveAndDeletedRows) {
  testing::TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096;", testing::ReferenceSchema("sms_ios6.1.6.sql"),
       InsertRow("message", {{"ROWID", "1"}, {"guid", "'G1'"}, {"text", "'it''s \"q\"'"}, {"handle_id", "2"},
                             {"attributedBody", "X'0AFF'"}, {"service", "'SMS'"}, {"date", "289094500"}, {"is_from_me", "1"}}),
       InsertRow("message", {{"ROWID", "2"}, {"guid", "'12345678-AAAA-BBBB-CCCC-1234567890AB'"},
                             {"text", "'this row is deleted'"}, {"handle_id", "3"}, {"service", "'SMS'"},
                             {"date", "289094600"}}),
       InsertRow("message", {{"ROWID", "3"}, {"guid", "'G3'"}, {"text", "'last live row'"}, {"handle_id", "2"},
                             {"service", "'SMS'"}, {"date", "289094700"}}),
       "DELETE FROM message WHERE ROWID = 2;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "sms.db"), kOk);
  std::int64_t highest = 20000;
  const auto out = dir / "sms.csv";
  testing::WriteFile(out, "existing\r\n");  // the writer appends
  ASSERT_EQ(WriteMessageLines(reader, out, highest), kOk);
  const std::vector<std::string> lines = Lines(testing::ReadFile(out));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "existing");
  EXPECT_EQ(lines[1],
            "1,\"G1\",\"it''s \"\"q\"\"\",0,NULL,2,NULL,NULL,0aff,0,0,\"SMS\",NULL,NULL,0,289094500,NULL,NULL,0,0,0,1,0," +
                Repeat("0,", 12) + "NULL,0,0");
  EXPECT_EQ(lines[2].rfind("3,\"G3\",\"last live row\",", 0), 0u);

  // The deleted row: numbered after the starting value, its identifier made from that number, sent
  // by the other party, so marked unread with the time of the export.
  const std::string& deleted = lines[3];
  const std::size_t id = deleted.find("\"27B99F78-F6F0-475F-8BA1-000000004E21\",");
  ASSERT_NE(id, std::string::npos) << deleted;
  EXPECT_LE(id, 6u);
  EXPECT_NE(deleted.find("\"this row is deleted\",0,NULL,3,"), std::string::npos) << deleted;
  EXPECT_EQ(highest, 20001);
}

TEST(WriteMessageLines, LiveRowsWrittenWhateverTheirBytes) {
  testing::TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096;", testing::ReferenceSchema("sms_ios6.1.6.sql"),
       InsertRow("message", {{"ROWID", "1"}, {"guid", "'G1'"}, {"text", "CAST(X'41FF42' AS TEXT)"}, {"service", "'SMS'"}}),
       InsertRow("message", {{"ROWID", "2"}, {"guid", "'G2'"}, {"text", "'fine'"}, {"service", "'SMS'"}})});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "sms.db"), kOk);
  std::int64_t highest = 0;
  ASSERT_EQ(WriteMessageLines(reader, dir / "out.csv", highest), kOk);
  const std::vector<std::string> lines = Lines(testing::ReadFile(dir / "out.csv"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("1,\"G1\",\"A\xEF\xBF\xBD" "B\",", 0), 0u);  // repaired, not dropped
  EXPECT_EQ(lines[1].rfind("2,\"G2\",\"fine\",", 0), 0u);
}

// Today's messages: eight-byte integers (dates in nanoseconds) written whole, binary property lists
// and other blobs as X'…' hex, texts with ill-formed bytes and NULs repaired as the screens show them.
TEST(WriteMessageLines, WideIntegersBlobsAndIllFormedTexts) {
  testing::TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096;", testing::ReferenceSchema("sms_ios11.2.sql"),
       InsertRow("message", {{"ROWID", "1"}, {"guid", "'G1'"}, {"text", "CAST(X'41FF420043' AS TEXT)"},
                             {"service", "'iMessage'"}, {"date", "530000000123456789"},
                             {"message_summary_info", "X'62706C6973743030D4000102'"}})});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "sms.db"), kOk);
  std::int64_t highest = 0;
  ASSERT_EQ(WriteMessageLines(reader, dir / "out.csv", highest), kOk);
  const std::string text = testing::ReadFile(dir / "out.csv");
  EXPECT_NE(text.find(",530000000123456789,"), std::string::npos) << text;
  EXPECT_NE(text.find("X'62706c6973743030d4000102'"), std::string::npos) << text;
  EXPECT_EQ(text.find("bplist"), std::string::npos) << text;  // no raw property list
  EXPECT_NE(text.find("\"A\xEF\xBF\xBD" "B\xEF\xBF\xBD" "C\""), std::string::npos) << text;  // U+FFFD for the bad byte and the NUL
  EXPECT_EQ(text.find('\0'), std::string::npos);
}

// The early layout (iOS 5): a deleted row is written as found, its address kept; no identifier or
// read mark is made up in columns that hold other values there.
TEST(WriteMessageLines, EarlyLayoutDeletedRowsAsFound) {
  testing::TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "sms.db",
      {"PRAGMA page_size=4096;", testing::ReferenceSchema("sms_ios5.sql"),
       InsertRow("message", {{"ROWID", "1"}, {"address", "'+15550100001'"}, {"date", "1330596000"},
                             {"text", "'a text that was deleted'"}, {"flags", "2"}, {"group_id", "1"}}),
       InsertRow("message", {{"ROWID", "2"}, {"address", "'+15550100001'"}, {"date", "1330596060"},
                             {"text", "'a text that stayed'"}, {"flags", "3"}, {"group_id", "1"}}),
       "DELETE FROM message WHERE ROWID = 1;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "sms.db"), kOk);
  std::int64_t highest = 2;
  ASSERT_EQ(WriteMessageLines(reader, dir / "out.csv", highest), kOk);
  const std::vector<std::string> lines = Lines(testing::ReadFile(dir / "out.csv"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("2,\"+15550100001\",1330596060,\"a text that stayed\",3,", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("3,\"+15550100001\",1330596000,\"a text that was deleted\",2,", 0), 0u) << lines[1];
  EXPECT_EQ(lines[1].find("27B99F78"), std::string::npos);
}

TEST(WriteContactLines, TextsConstantsAndTheLastColumn) {
  testing::TempDir dir;
  testing::MakeSqliteDatabase(
      dir / "ab.db",
      {"PRAGMA page_size=4096;", testing::ReferenceSchema("addressbook_fts_ios9_RECONSTRUCTED.sql"),
       InsertRow("ABPersonFullTextSearch_content", {{"docid", "1"}, {"c0First", "'Ann'"}, {"c1Last", "'O''Brien'"},
                                                    {"c2Middle", "1"}, {"c3FirstPhonetic", "7"},
                                                    {"c15Phone", "'+1555'"}, {"c23SupplementalCompositeNameTerms", "'x'"}})});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "ab.db"), kOk);
  std::int64_t highest = 0;
  ASSERT_EQ(WriteContactLines(reader, dir / "ab.csv", highest), kOk);
  const std::vector<std::string> lines = Lines(testing::ReadFile(dir / "ab.csv"));
  ASSERT_EQ(lines.size(), 1u);
  // docid, first, last, the constant 1, 7, NULLs, the phone, NULLs, and the last text without a comma.
  EXPECT_EQ(lines[0], "1,\"Ann\",\"O''Brien\",1,7," + Repeat("NULL,", 11) + "\"+1555\"," + Repeat("NULL,", 7) + "\"x\"");
}

}  // namespace
}  // namespace dunmere
