// Tables WITHOUT ROWID, made with the SQLite library: their rows are the records of an index B-tree
// (interior pages hold rows too), the primary key's columns first; read back in declared order.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <string>
#include <tuple>

#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;

using Row = std::tuple<std::string, std::string, std::int64_t>;  // note, k, n

std::string Inserts(int from, int to) {
  std::string sql = "INSERT INTO kv (note, k, n) VALUES ";
  for (int i = from; i < to; ++i) {
    // Every 97th note is too long for an index page: it goes on in overflow pages.
    const std::string note = "note " + std::to_string(i) + std::string(i % 97 == 0 ? 3000 : i % 30, 'x');
    sql += (i == from ? "" : ",") + std::string("('") + note + "', 'key" + std::to_string(10000 + i) + "', " +
           std::to_string(i) + ")";
  }
  return sql + ";";
}

constexpr const char* kTable = "CREATE TABLE kv (note TEXT, k TEXT, n INTEGER, PRIMARY KEY (k, n)) WITHOUT ROWID;";

// Our rows of kv, live or deleted, as (note, k, n); inLog counts deleted rows found in older page versions.
std::set<Row> Ours(const fs::path& db, bool deleted, std::size_t* inLog = nullptr) {
  SqliteFileReader reader;
  EXPECT_EQ(reader.Open(db), kOk);
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  EXPECT_EQ(DecodeAnyTable(reader, "kv", columns, rows), kOk);
  std::set<Row> out;
  for (const AnyRow& r : rows) {
    if ((r.deleted != 0) != deleted || r.values.size() != 3) continue;
    EXPECT_FALSE(r.hasRowId);
    out.emplace(r.values[0].bytes, r.values[1].bytes, r.values[2].integer);
    if (inLog != nullptr && r.deleted == static_cast<std::uint8_t>(RowState::kDeletedInLog)) ++*inLog;
  }
  return out;
}

std::set<Row> Library(const fs::path& db) {
  sqlite3* handle = nullptr;
  EXPECT_EQ(sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(handle, "SELECT note, k, n FROM kv", -1, &statement, nullptr), SQLITE_OK);
  std::set<Row> out;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    out.emplace(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
                reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)), sqlite3_column_int64(statement, 2));
  }
  sqlite3_finalize(statement);
  sqlite3_close(handle);
  return out;
}

std::set<Row> Written(int from, int to) {
  std::set<Row> rows;
  for (int i = from; i < to; ++i) {
    rows.emplace("note " + std::to_string(i) + std::string(i % 97 == 0 ? 3000 : i % 30, 'x'),
                 "key" + std::to_string(10000 + i), i);
  }
  return rows;
}

TEST(WithoutRowid, ColumnsInTheRecordAndNoAlias) {
  const std::vector<DeclaredColumn> table = ParseDeclaredColumns(kTable);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].stored, 2);  // note, after the key (k, n)
  EXPECT_EQ(table[1].stored, 0);
  EXPECT_EQ(table[2].stored, 1);
  const std::vector<DeclaredColumn> column =
      ParseDeclaredColumns("CREATE TABLE t (a TEXT, id INTEGER PRIMARY KEY, b BLOB) WITHOUT ROWID");
  ASSERT_EQ(column.size(), 3u);
  EXPECT_FALSE(column[1].integerPrimaryKey);  // no row id to be the alias of
  EXPECT_EQ(column[1].stored, 0);
  EXPECT_EQ(column[0].stored, 1);
  EXPECT_EQ(column[2].stored, 2);
  const std::vector<DeclaredColumn> plain = ParseDeclaredColumns("CREATE TABLE t (a TEXT, id INTEGER PRIMARY KEY)");
  EXPECT_TRUE(plain[1].integerPrimaryKey);
  EXPECT_EQ(plain[1].stored, 1);
  EXPECT_FALSE(IsWithoutRowid("CREATE TABLE \"without rowid\" (x)"));
  EXPECT_TRUE(IsWithoutRowid("CREATE TABLE t (x PRIMARY KEY)  without\n rowid"));
}

TEST(WithoutRowid, LiveRowsAsTheLibraryAndRowsOfFreedPages) {
  testing::TempDir dir;
  const fs::path db = dir / "kv.db";
  testing::MakeSqliteDatabase(db, {"PRAGMA page_size=1024;", kTable, Inserts(0, 2000),
                                   "DELETE FROM kv WHERE n BETWEEN 500 AND 1100;"});
  const std::set<Row> live = Ours(db, false);
  EXPECT_EQ(live, Library(db));
  EXPECT_EQ(live.size(), 2000u - 601u);
  // The emptied pages were freed whole: their rows come back, each a row really written.
  const std::set<Row> written = Written(500, 1101);
  const std::set<Row> deleted = Ours(db, true);
  std::size_t right = 0;
  for (const Row& r : deleted) right += written.count(r);
  EXPECT_EQ(right, deleted.size());
  EXPECT_GE(deleted.size(), 400u);
}

// Rows freed one by one: the freeblock header takes the payload length, the header length and the
// first key column's type (a payload of 128 bytes or more); the key's value comes back as the kind
// the column has always held, its length from the freed cell's size.
TEST(WithoutRowid, RowsFreedOneByOne) {
  testing::TempDir dir;
  const fs::path db = dir / "kv.db";
  std::string rows = "INSERT INTO kv (note, k, n) VALUES ";
  std::set<Row> gone;
  for (int i = 0; i < 300; ++i) {
    const Row row{"note " + std::to_string(i) + " " + std::string(150, 'x'), "key" + std::to_string(10000 + i), i};
    rows += (i ? "," : "") + std::string("('") + std::get<0>(row) + "', '" + std::get<1>(row) + "', " + std::to_string(i) + ")";
    if (i % 7 == 0) gone.insert(row);
  }
  testing::MakeSqliteDatabase(db, {"PRAGMA page_size=4096;", kTable, rows + ";", "DELETE FROM kv WHERE n % 7 = 0;"});
  const std::set<Row> deleted = Ours(db, true);
  std::size_t right = 0;
  for (const Row& r : deleted) right += gone.count(r);
  EXPECT_EQ(right, deleted.size());
  EXPECT_GE(right, gone.size() * 8 / 10);
}

TEST(WithoutRowid, RowsDeletedInTheLog) {
  testing::TempDir dir;
  const fs::path db = dir / "kv.db";
  testing::MakeSqliteDatabaseWithLog(db, {"PRAGMA page_size=1024;", "PRAGMA secure_delete=ON;", kTable, Inserts(0, 600)},
                                     {"DELETE FROM kv WHERE n % 5 = 0;", Inserts(600, 700)});
  std::size_t inLog = 0;
  EXPECT_EQ(Ours(db, false).size(), 600u - 120u + 100u);
  // Secure delete left nothing in the newest pages: every deleted row is the file's older version's
  // (but for the long notes, whose overflow pages secure delete wiped when it freed them).
  std::set<Row> gone;
  for (int i = 0; i < 600; i += 5) {
    if (i % 97 == 0) continue;
    const std::set<Row> one = Written(i, i + 1);
    gone.insert(one.begin(), one.end());
  }
  EXPECT_EQ(Ours(db, true, &inLog), gone);
  EXPECT_EQ(inLog, gone.size());
}

}  // namespace
}  // namespace dunmere
