// Tables dropped from a file, made with the SQLite library: their schema rows are found in the
// schema's freed space, they are read by their old names, and their freed pages go to them alone,
// never to a live table of the same shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/dropped_tables.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {

std::string Rows(const std::string& table, int count, const std::string& tag) {
  std::string sql = "INSERT INTO " + table + " (name, n) VALUES ";
  for (int i = 0; i < count; ++i) sql += (i ? "," : "") + std::string("('") + tag + std::to_string(i) + "', " + std::to_string(i) + ")";
  return sql + ";";
}

// The names in the second column of the table's rows (deleted ones when deleted is set).
std::multiset<std::string> Names(SqliteFileReader& reader, const std::string& table, bool deleted) {
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  EXPECT_EQ(DecodeAnyTable(reader, table, columns, rows), kOk);
  std::multiset<std::string> names;
  for (const AnyRow& r : rows) {
    if ((r.deleted != 0) == deleted && r.values.size() > 1) names.insert(r.values[1].bytes);
  }
  return names;
}

std::size_t Tagged(const std::multiset<std::string>& names, const std::string& tag) {
  return static_cast<std::size_t>(
      std::count_if(names.begin(), names.end(), [&tag](const std::string& n) { return n.rfind(tag, 0) == 0; }));
}

TEST(DroppedTables, ReadByTheirNamesAndTheirPagesTheirsAlone) {
  testing::TempDir dir;
  const auto db = dir / "dropped.db";
  testing::MakeSqliteDatabase(
      db, {"PRAGMA page_size=1024;", "CREATE TABLE keep (id INTEGER PRIMARY KEY, name TEXT, n INTEGER);",
           "CREATE TABLE gone (id INTEGER PRIMARY KEY, name TEXT, n INTEGER);", Rows("keep", 50, "keep "),
           Rows("gone", 800, "gone "), "DELETE FROM keep WHERE id % 10 = 0;", "DROP TABLE gone;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);

  std::vector<TableEntry> tables;
  ASSERT_EQ(ListTables(reader, tables), kOk);
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0].name, "keep");
  EXPECT_FALSE(tables[0].dropped);
  EXPECT_EQ(tables[0].rootPage, 2u);
  EXPECT_EQ(tables[1].name, "gone");
  EXPECT_TRUE(tables[1].dropped);
  EXPECT_EQ(tables[1].rootPage, 3u);

  // The live table of the same shape: its own deleted rows, none of the dropped table's.
  const std::multiset<std::string> kept = Names(reader, "keep", true);
  EXPECT_EQ(Tagged(kept, "keep "), 5u);
  EXPECT_EQ(Tagged(kept, "gone "), 0u);
  EXPECT_EQ(Names(reader, "keep", false).size(), 45u);

  // The dropped table by its old name: every row, each once, all deleted, next to nothing else.
  EXPECT_TRUE(Names(reader, "gone", false).empty());
  const std::multiset<std::string> gone = Names(reader, "gone", true);
  std::set<std::string> distinct;
  for (const std::string& n : gone) {
    if (n.rfind("gone ", 0) == 0) distinct.insert(n);
  }
  EXPECT_EQ(distinct.size(), 800u);
  EXPECT_EQ(Tagged(gone, "gone "), 800u);
  EXPECT_LE(gone.size(), 808u);
}

// The end of a freed schema row written over: the columns before the damage are the table's.
TEST(DroppedTables, AStatementWhoseEndWasWrittenOver) {
  testing::TempDir dir;
  const auto db = dir / "damaged.db";
  testing::MakeSqliteDatabase(db, {"CREATE TABLE gone (id INTEGER PRIMARY KEY, name TEXT, n INTEGER);",
                                   "CREATE TABLE keep (id INTEGER PRIMARY KEY, label TEXT);", Rows("gone", 40, "gone "),
                                   "DROP TABLE gone;"});
  std::string bytes = testing::ReadFile(db);
  const std::string statement = "CREATE TABLE gone (id INTEGER PRIMARY KEY, name TEXT, n INTEGER)";
  const std::size_t at = bytes.find(statement);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at + statement.size() - 8, 8, std::string("\x06\x05\x06\0\0\0\0\0", 8));  // " INTEGER)"
  testing::WriteFile(db, bytes);
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  ASSERT_EQ(DecodeAnyTable(reader, "gone", columns, rows), kOk);
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[2].name, "n");
  std::set<std::string> names;
  for (const AnyRow& r : rows) names.insert(r.values[1].bytes);
  EXPECT_EQ(Tagged(std::multiset<std::string>(names.begin(), names.end()), "gone "), 40u);
}

TEST(DroppedTables, AnOlderSchemaRowIsNoDroppedTable) {
  testing::TempDir dir;
  const auto db = dir / "schema.db";
  // A schema row freed below others stays as a freeblock (the top one would go back to the free gap).
  testing::MakeSqliteDatabase(
      db, {"CREATE TABLE grown (id INTEGER PRIMARY KEY, name TEXT, n INTEGER);",
           "CREATE TABLE other (id INTEGER PRIMARY KEY, a_rather_long_column_name TEXT, another_long_column_name BLOB);",
           Rows("grown", 20, "grown "),
           // The schema row is written again, longer: the old one is freed, naming the same root.
           "ALTER TABLE grown ADD COLUMN note TEXT;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> schema;
  ASSERT_EQ(DecodeAnyTable(reader, "sqlite_master", columns, schema), kOk);
  ASSERT_EQ(std::count_if(schema.begin(), schema.end(),
                          [](const AnyRow& r) { return r.deleted != 0 && r.values[1].bytes == "grown"; }),
            1);
  std::vector<TableEntry> tables;
  ASSERT_EQ(ListTables(reader, tables), kOk);
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_FALSE(tables[0].dropped);
  EXPECT_FALSE(tables[1].dropped);
  EXPECT_EQ(Tagged(Names(reader, "grown", false), "grown "), 20u);
}

// Hundreds of tables dropped: the schema shrinks and most of their rows end on its freed pages. They
// are found there as well as on its live pages.
TEST(DroppedTables, ThousandsOfSchemaRowsWhereverTheyLie) {
  testing::TempDir dir;
  std::vector<std::string> sql{"PRAGMA page_size=1024;", "PRAGMA auto_vacuum=0;"};
  std::string create, drop;
  for (int i = 0; i < 600; ++i) {
    create += "CREATE TABLE t" + std::to_string(i) + " (id INTEGER PRIMARY KEY, name TEXT, n INTEGER);";
    if (i >= 10) drop += "DROP TABLE t" + std::to_string(i) + ";";
  }
  sql.push_back(create);
  sql.push_back(drop);
  testing::MakeSqliteDatabase(dir / "many.db", sql);
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "many.db"), kOk);
  std::vector<TableEntry> tables;
  ASSERT_EQ(ListTables(reader, tables), kOk);
  std::size_t live = 0, dropped = 0;
  std::set<std::string> names;
  for (const TableEntry& t : tables) {
    (t.dropped ? dropped : live) += 1;
    if (t.dropped) names.insert(t.name);
  }
  EXPECT_EQ(live, 10u);
  // Nearly all of them: a few rows are written over by the freed blocks' headers and the freelist.
  EXPECT_GE(dropped, 560u);
  EXPECT_LE(dropped, 590u);
  EXPECT_EQ(names.size(), dropped);  // each once
  for (const std::string& name : names) EXPECT_GE(std::stoi(name.substr(1)), 10) << name;  // none of the live ones
}

TEST(DroppedTables, TheSchemaTableItself) {
  testing::TempDir dir;
  const auto db = dir / "schema.db";
  testing::MakeSqliteDatabase(db, {"CREATE TABLE a (x TEXT);", "CREATE TABLE b (y TEXT);", "DROP TABLE b;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  ASSERT_EQ(DecodeAnyTable(reader, "sqlite_master", columns, rows), kOk);
  ASSERT_EQ(columns.size(), 5u);
  const auto named = [&rows](const std::string& name, int deleted) {
    return std::count_if(rows.begin(), rows.end(), [&](const AnyRow& r) {
      return r.values.size() == 5 && r.values[1].bytes == name && r.deleted == deleted;
    });
  };
  EXPECT_EQ(named("a", 0), 1);
  EXPECT_EQ(named("b", 1), 1);
}

}  // namespace
}  // namespace dunmere
