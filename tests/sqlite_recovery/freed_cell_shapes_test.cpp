// Freed cells whose bytes are easy to misread, made by the SQLite library (secure delete off): the
// freeblock header takes a cell's first four bytes, which are its payload length, row id and header
// length when those take exactly four, so the serial types behind it are whole and the first of them
// (a REAL's 7, an 8-byte integer's 6) can pass for a header length; cells with three-byte row ids; a
// neighbour freed later merged into a block untouched. Every deleted row comes back once, with every
// value, and nothing else does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {

struct Shape {
  const char* firstType;      // the declared type of the first column
  std::int64_t firstRowId;    // 200: two-byte row ids; 20000: three-byte ones
  bool pairs = false;         // neighbours deleted together, in either order
  bool run = false;           // a run of rows that empties pages, deleted in a shuffled order
};

// The first value of row i: a date-like real, or an integer that needs eight bytes.
std::string FirstValue(const Shape& shape, int i) {
  if (std::string(shape.firstType) == "REAL") return std::to_string(500000000 + i * 7919) + ".25";
  return std::to_string((std::int64_t{1} << 50) + std::int64_t{i} * 1000003);
}

// Every row the engine gives of the table "items".
std::vector<AnyRow> ItemRows(const std::filesystem::path& db) {
  SqliteFileReader reader;
  EXPECT_EQ(reader.Open(db), kOk);
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  EXPECT_EQ(DecodeAnyTable(reader, "items", columns, rows), kOk);
  return rows;
}

// Whether the text is still in the file's bytes: a later insert can write over a freed cell, and what
// is gone from the file cannot come back.
bool Survives(const std::string& bytes, const std::string& text) { return bytes.find(text) != std::string::npos; }

std::string Label(int i) { return "row-" + std::to_string(i) + "-" + std::string(static_cast<std::size_t>(i % 23), 'y'); }

// The labels of the deleted rows the engine gives of "items", each checked to be one of the rows
// deleted (gone) and given once; check looks at each row's values (i: the number in its label).
template <typename Check>
std::set<std::string> DeletedOnce(const std::filesystem::path& db, const std::set<std::string>& gone, Check check) {
  std::set<std::string> found;
  for (const AnyRow& row : ItemRows(db)) {
    if (row.deleted == 0) continue;
    EXPECT_EQ(gone.count(row.values[1].bytes), 1u) << "a row that was never deleted: " << row.values[1].bytes;
    EXPECT_TRUE(found.insert(row.values[1].bytes).second) << row.values[1].bytes << " twice";
    check(row, std::atoi(row.values[1].bytes.c_str() + 4));
  }
  return found;
}

void Check(const Shape& shape) {
  SCOPED_TRACE(std::string(shape.firstType) + " from row id " + std::to_string(shape.firstRowId) +
               (shape.pairs ? ", pairs" : "") + (shape.run ? ", a run" : ""));
  testing::TempDir dir;
  std::vector<std::string> sql{"PRAGMA page_size=1024;",
                               std::string("CREATE TABLE items (v ") + shape.firstType +
                                   ", label TEXT, n INTEGER, t TEXT, k INTEGER, z TEXT);"};
  constexpr int kRows = 400;
  for (int i = 0; i < kRows; ++i) {
    sql.push_back("INSERT INTO items (rowid, v, label, n, t, k, z) VALUES (" + std::to_string(shape.firstRowId + i) + ", " +
                  FirstValue(shape, i) + ", '" + Label(i) + "', " + std::to_string(i % 300) + ", " +
                  (i % 3 == 0 ? "NULL" : "'" + std::string(static_cast<std::size_t>(i % 4), 't') + "'") + ", " +
                  std::to_string(i * 37 % 70000) + ", '" + std::string(static_cast<std::size_t>(i % 6), 'z') + "');");
  }
  std::map<std::string, int> gone;  // label to row
  if (shape.run) {
    // Rows 100 to 179 in an order that is no order: each page they fill is emptied cell by cell,
    // freed blocks merging every way.
    for (int k = 0; k < 80; ++k) {
      const int r = 100 + (k * 37) % 80;
      sql.push_back("DELETE FROM items WHERE rowid = " + std::to_string(shape.firstRowId + r) + ";");
      gone[Label(r)] = r;
    }
  }
  for (int i = 0; i + 1 < kRows && !shape.run; i += shape.pairs ? 4 : 5) {
    std::vector<int> rows{i};
    if (shape.pairs) rows = (i / 4) % 2 == 0 ? std::vector<int>{i, i + 1} : std::vector<int>{i + 1, i};
    for (const int r : rows) {
      sql.push_back("DELETE FROM items WHERE rowid = " + std::to_string(shape.firstRowId + r) + ";");
      gone[Label(r)] = r;
    }
  }
  testing::MakeSqliteDatabase(dir / "db", sql);

  std::map<std::string, int> found;
  for (const AnyRow& row : ItemRows(dir / "db")) {
    if (row.deleted == 0) continue;
    ASSERT_EQ(row.values.size(), 6u);
    const auto it = gone.find(row.values[1].bytes);
    ASSERT_NE(it, gone.end()) << "a row that was never deleted: " << row.values[1].bytes;
    const int i = it->second;
    ++found[it->first];
    // Every value, the first one too: its type was never lost.
    if (std::string(shape.firstType) == "REAL") {
      ASSERT_EQ(row.values[0].kind, AnyValue::Kind::kReal) << Label(i);
      EXPECT_DOUBLE_EQ(row.values[0].real, 500000000.25 + i * 7919) << Label(i);
    } else {
      ASSERT_EQ(row.values[0].kind, AnyValue::Kind::kInteger) << Label(i);
      EXPECT_EQ(row.values[0].integer, (std::int64_t{1} << 50) + std::int64_t{i} * 1000003) << Label(i);
    }
    EXPECT_EQ(row.values[2].integer, i % 300) << Label(i);
    EXPECT_EQ(row.values[4].integer, i * 37 % 70000) << Label(i);
    EXPECT_EQ(row.values[5].bytes, std::string(static_cast<std::size_t>(i % 6), 'z')) << Label(i);
  }
  // Every one whose bytes are still in the file, once, and most of them are (emptied pages are freed
  // and some reused as freelist trunks, which write over a part of them).
  const std::string bytes = testing::ReadFile(dir / "db");
  std::size_t survived = 0;
  for (const auto& [label, row] : gone) {
    const bool survives = Survives(bytes, label);
    survived += survives ? 1 : 0;
    EXPECT_EQ(found[label], survives ? 1 : 0) << label;
  }
  EXPECT_GE(survived * 10, gone.size() * (shape.run ? 5 : 8));
}

TEST(FreedCellShapes, RealFirstValuesBehindTheFreeblockHeader) { Check({"REAL", 200}); }

TEST(FreedCellShapes, EightByteIntegerFirstValues) { Check({"INTEGER", 200}); }

TEST(FreedCellShapes, ThreeByteRowIds) { Check({"REAL", 20000}); }

// The later of two neighbours merges into the block of the earlier where it lies behind it, whole.
TEST(FreedCellShapes, NeighboursFreedInEitherOrder) {
  Check({"REAL", 200, true});
  Check({"INTEGER", 1000, true});
}

// Pages emptied row by row: their freed blocks merge and the headers left inside them go stale.
TEST(FreedCellShapes, PagesEmptiedRowByRow) {
  Check({"REAL", 200, false, true});
  Check({"INTEGER", 1000, false, true});
}

// Row ids under 128 and short records: the freeblock header takes the payload length, row id, header
// length and the first (text) value's type. A REAL type further on, in front of six one-byte types,
// reads as a header length; only the reading that gives the lost value its length ends where the
// cell does.
TEST(FreedCellShapes, ATextFirstValueLostWithItsType) {
  testing::TempDir dir;
  std::vector<std::string> sql{"PRAGMA page_size=1024;",
                               "CREATE TABLE items (tag TEXT, label TEXT, n INTEGER, big INTEGER, r REAL, data BLOB);"};
  for (int i = 1; i <= 120; ++i) {
    sql.push_back("INSERT INTO items (rowid, tag, label, n, big, r, data) VALUES (" + std::to_string(i) + ", 't" +
                  std::to_string(i) + "', 'row-" + std::to_string(i) + "-" + std::string(static_cast<std::size_t>(i % 30), 'x') +
                  "', " + std::to_string(i % 100 - 50) + ", " + std::to_string(std::int64_t{1} << (20 + i % 20)) + ", " +
                  std::to_string(i) + ".5, X'" + std::string(static_cast<std::size_t>(2 * (i % 4)), 'A') + "');");
  }
  std::set<std::string> gone;
  for (int i = 3; i <= 120; i += 4) {
    sql.push_back("DELETE FROM items WHERE rowid = " + std::to_string(i) + ";");
    gone.insert("row-" + std::to_string(i) + "-" + std::string(static_cast<std::size_t>(i % 30), 'x'));
  }
  testing::MakeSqliteDatabase(dir / "db", sql);
  const std::set<std::string> found = DeletedOnce(dir / "db", gone, [](const AnyRow& row, int i) {
    // The lost first value comes back as the text its column always holds.
    EXPECT_EQ(row.values[0].bytes, "t" + std::to_string(i));
    EXPECT_EQ(row.values[2].integer, i % 100 - 50);
    EXPECT_DOUBLE_EQ(row.values[4].real, i + 0.5);
  });
  // Every one whose bytes are still in the file (a later insert wrote over a few).
  const std::string bytes = testing::ReadFile(dir / "db");
  std::set<std::string> surviving;
  for (const std::string& label : gone) {
    if (Survives(bytes, label)) surviving.insert(label);
  }
  EXPECT_GE(surviving.size() * 10, gone.size() * 8);
  EXPECT_EQ(found, surviving);
}

// Runs of neighbouring rows deleted in the order they were written, some of them from before a column
// was added: each freed cell merges into the block of the one freed before it, whose header stays
// inside the block with a size that still reaches the block's end. A reading by the wrong column
// count, or one that takes a type byte for a header length, runs over such a header into the next
// cell; the reading that ends at the first one is the cell.
TEST(FreedCellShapes, RunsDeletedInOrderAcrossAnAddedColumn) {
  for (const bool alias : {false, true}) {
    SCOPED_TRACE(alias ? "row id alias first" : "text first");
    testing::TempDir dir;
    std::vector<std::string> sql{"PRAGMA page_size=4096;",
                                 std::string("CREATE TABLE items (") + (alias ? "id INTEGER PRIMARY KEY" : "tag TEXT") +
                                     ", label TEXT, n INTEGER, big INTEGER, r REAL, data BLOB);"};
    const auto label = [](int i) { return "row-" + std::to_string(i) + "-" + std::string(static_cast<std::size_t>(i * 7 % 41), 'x'); };
    for (int i = 1; i <= 260; ++i) {
      if (i == 181) sql.push_back("ALTER TABLE items ADD COLUMN extra TEXT;");
      sql.push_back("INSERT INTO items VALUES (" + (alias ? std::to_string(i) : "'t" + std::to_string(i) + "'") + ", '" +
                    label(i) + "', " + std::to_string(i % 200 - 100) + ", " + std::to_string((std::int64_t{1} << 39) + i * 7919) +
                    ", " + std::to_string(i) + ".125, X'" + std::string(static_cast<std::size_t>(2 * (i % 12)), 'C') + "'" +
                    (i > 180 ? ", 'extra " + std::to_string(i) + "'" : "") + ");");
    }
    // The record's values after the first, as stored: a cell handed out later from a freed block's
    // tail can write over the end of one.
    const auto body = [&label](int i) {
      std::string bytes = label(i);
      const int n = i % 200 - 100;
      if (n != 0 && n != 1) bytes += static_cast<char>(static_cast<std::int8_t>(n));  // 0 and 1 take no byte
      const std::int64_t big = (std::int64_t{1} << 39) + i * 7919;
      for (int shift = 40; shift >= 0; shift -= 8) bytes += static_cast<char>((big >> shift) & 0xFF);
      const double r = i + 0.125;
      std::uint64_t bits = 0;
      std::memcpy(&bits, &r, sizeof bits);
      for (int shift = 56; shift >= 0; shift -= 8) bytes += static_cast<char>((bits >> shift) & 0xFF);
      bytes += std::string(static_cast<std::size_t>(i % 12), '\xCC');
      if (i > 180) bytes += "extra " + std::to_string(i);
      return bytes;
    };
    std::set<std::string> gone;
    std::set<std::string> surviving;
    for (int i = 1; i <= 260; ++i) {
      if ((i / 10) % 5 != 0) continue;
      sql.push_back("DELETE FROM items WHERE rowid = " + std::to_string(i) + ";");
      gone.insert(label(i));
    }
    testing::MakeSqliteDatabase(dir / "db", sql);
    const std::set<std::string> found = DeletedOnce(dir / "db", gone, [alias](const AnyRow& row, int i) {
      if (!alias) {
        EXPECT_EQ(row.values[0].bytes, "t" + std::to_string(i));
      }
      EXPECT_EQ(row.values[2].integer, i % 200 - 100) << row.values[1].bytes;
      EXPECT_EQ(row.values[3].integer, (std::int64_t{1} << 39) + i * 7919) << row.values[1].bytes;
      EXPECT_DOUBLE_EQ(row.values[4].real, i + 0.125) << row.values[1].bytes;
      EXPECT_EQ(row.values[5].bytes.size(), static_cast<std::size_t>(i % 12)) << row.values[1].bytes;
      EXPECT_EQ(row.values[6].kind == AnyValue::Kind::kNull, i <= 180) << row.values[1].bytes;
    });
    const std::string bytes = testing::ReadFile(dir / "db");
    for (int i = 1; i <= 260; ++i) {
      if (gone.count(label(i)) != 0 && Survives(bytes, body(i))) surviving.insert(label(i));
    }
    EXPECT_GE(surviving.size() * 10, gone.size() * 7);
    EXPECT_EQ(found, surviving);
  }
}

}  // namespace
}  // namespace dunmere
