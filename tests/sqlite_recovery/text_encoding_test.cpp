// Databases whose texts are stored as UTF-16 (little or big endian, as the header declares): tables
// are found by their names and every text comes back as UTF-8, live and deleted, in the schema too.
#include <gtest/gtest.h>

#include <set>

#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/text_encoding.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {

TEST(TextEncoding, Utf16BothWaysWithSurrogatesAndDamage) {
  const std::string text = "Grüße \xF0\x9F\x98\x80 end";  // an emoji outside the basic plane
  for (const TextEncoding e : {TextEncoding::kUtf16Le, TextEncoding::kUtf16Be}) {
    const std::string stored = Utf8ToStored(text, e);
    EXPECT_EQ(stored.size(), 2u * 12u);  // 11 characters, the emoji two units
    EXPECT_EQ(TextToUtf8(stored, e), text);
    EXPECT_EQ(TextToUtf8(stored + "x", e), text + "\xEF\xBF\xBD");  // a lone last byte
  }
  // An unpaired surrogate is shown as U+FFFD.
  EXPECT_EQ(TextToUtf8(std::string("\x00\xD8\x41\x00", 4), TextEncoding::kUtf16Le), "\xEF\xBF\xBD" "A");
  EXPECT_EQ(TextToUtf8("plain", TextEncoding::kUtf8), "plain");
  EXPECT_EQ(TextEncodingOf(2), TextEncoding::kUtf16Le);
  EXPECT_EQ(TextEncodingOf(3), TextEncoding::kUtf16Be);
  EXPECT_EQ(TextEncodingOf(0), TextEncoding::kUtf8);
}

TEST(TextEncoding, Utf16DatabasesLiveAndDeletedRows) {
  for (const char* encoding : {"UTF-16le", "UTF-16be"}) {
    testing::TempDir dir;
    testing::MakeSqliteDatabase(
        dir / "u.db",
        {std::string("PRAGMA encoding='") + encoding + "';", "CREATE TABLE utf16Test (id INTEGER PRIMARY KEY, name TEXT);",
         "INSERT INTO utf16Test (name) VALUES ('kept Grüße'), ('deleted \xF0\x9F\x98\x80 row of some length'), ('kept too');",
         "DELETE FROM utf16Test WHERE id = 2;"});
    SqliteFileReader reader;
    ASSERT_EQ(reader.Open(dir / "u.db"), kOk);
    EXPECT_NE(reader.textEncoding, TextEncoding::kUtf8) << encoding;
    std::vector<DeclaredColumn> columns;
    std::vector<AnyRow> rows;
    ASSERT_EQ(DecodeAnyTable(reader, "utf16Test", columns, rows), kOk) << encoding;
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[1].name, "name");
    std::set<std::pair<std::string, int>> seen;
    for (const AnyRow& r : rows) seen.insert({r.values[1].bytes, r.deleted});
    EXPECT_TRUE(seen.count({"kept Grüße", 0})) << encoding;
    EXPECT_TRUE(seen.count({"kept too", 0})) << encoding;
    EXPECT_TRUE(seen.count({"deleted \xF0\x9F\x98\x80 row of some length", 1})) << encoding;
    EXPECT_TRUE(reader.Damage().empty()) << encoding;
  }
}

// A UTF-8 file whose header says UTF-16: its schema shows what its texts are, they are read as UTF-8
// (every row comes back) and the header is told as damage.
TEST(TextEncoding, AHeaderThatSaysUtf16OverUtf8Texts) {
  for (const std::uint8_t declared : {2, 3}) {
    testing::TempDir dir;
    testing::MakeSqliteDatabase(dir / "u8.db", {"CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT);",
                                                "INSERT INTO notes (body) VALUES ('first note'), ('second note');"});
    std::string bytes = testing::ReadFile(dir / "u8.db");
    bytes[59] = static_cast<char>(declared);  // the header's encoding (offset 56, big endian)
    testing::WriteFile(dir / "said.db", bytes);
    SqliteFileReader reader;
    ASSERT_EQ(reader.Open(dir / "said.db"), kOk);
    EXPECT_EQ(reader.textEncoding, TextEncoding::kUtf8);
    ASSERT_EQ(reader.Damage().size(), 1u);
    EXPECT_EQ(reader.Damage()[0].page, 1u);
    EXPECT_NE(reader.Damage()[0].why.find(declared == 2 ? "UTF-16 (little endian)" : "UTF-16 (big endian)"),
              std::string::npos);
    std::vector<DeclaredColumn> columns;
    std::vector<AnyRow> rows;
    ASSERT_EQ(DecodeAnyTable(reader, "notes", columns, rows), kOk);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].values[1].bytes, "first note");
  }
}

}  // namespace
}  // namespace dunmere
