// The page reader on databases made by the SQLite library: header, pages, freelist, schema lookup and
// the live walk, compared with what the library itself says of the same file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <set>
#include <string>

#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/varint.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/sqlite_recovery/row_collector.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::MakeSqliteDatabase;
using testing::TempDir;

// Runs a query with the SQLite library and returns the first column of every row as integers.
std::vector<std::int64_t> Query(const fs::path& db, const std::string& sql) {
  sqlite3* h = nullptr;
  sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  std::vector<std::int64_t> out;
  if (sqlite3_prepare_v2(h, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
    while (sqlite3_step(stmt) == SQLITE_ROW) out.push_back(sqlite3_column_int64(stmt, 0));
  }
  sqlite3_finalize(stmt);
  sqlite3_close(h);
  return out;
}

std::string Pragmas(int pageSize) {
  return "PRAGMA page_size=" + std::to_string(pageSize) + "; PRAGMA auto_vacuum=0;";
}

const char* kHandleTable =
    "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, country TEXT, "
    "service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service));";

std::string InsertHandles(int from, int to, int textLength = 10) {
  return "WITH RECURSIVE c(x) AS (SELECT " + std::to_string(from) + " UNION ALL SELECT x + 1 FROM c WHERE x < " +
         std::to_string(to) + ") INSERT INTO handle (ROWID, id, country, service) SELECT x, 'id-' || x || '-' || "
         "substr(hex(zeroblob(" + std::to_string(textLength) + ")), 1, " + std::to_string(textLength) +
         "), 'us', 'SMS' FROM c;";
}

TEST(SqliteFileReaderOpen, HeaderChecksAndPageSizes) {
  TempDir dir;
  SqliteFileReader reader;
  EXPECT_EQ(reader.Open(dir / "missing.db"), kPathNotFound);
  testing::WriteFile(dir / "text.db", "SQLite format 2\0 and more bytes");
  EXPECT_EQ(reader.Open(dir / "text.db"), kInvalidData);
  std::vector<std::uint8_t> page(512);
  EXPECT_EQ(reader.ReadPage(0, page.data()), kInvalidParameter);  // no page size

  for (const int size : {512, 1024, 4096, 32768, 65536}) {
    const fs::path db = dir / (std::to_string(size) + ".db");
    MakeSqliteDatabase(db, {Pragmas(size), kHandleTable, InsertHandles(1, 20)});
    ASSERT_EQ(reader.Open(db), kOk) << size;
    EXPECT_EQ(reader.pageSize, static_cast<std::uint32_t>(size));  // 65,536 is stored as 1
    EXPECT_EQ(reader.pageCount, fs::file_size(db) / size);
    page = reader.NewPageBuffer();
    EXPECT_EQ(reader.ReadPage(0, page.data()), kOk);
    EXPECT_EQ(reader.ReadPage(static_cast<std::uint32_t>(reader.pageCount), page.data()), kReadFault);
  }

  // Letter case of the magic is ignored; a page size that is no power of two is refused.
  const fs::path db = dir / "4096.db";
  std::string bytes = testing::ReadFile(db);
  bytes.replace(0, 6, "sqlite");
  testing::WriteFile(dir / "lower.db", bytes);
  EXPECT_EQ(reader.Open(dir / "lower.db"), kOk);
  bytes[16] = 0x03;
  bytes[17] = 0x00;  // 768
  testing::WriteFile(dir / "odd.db", bytes);
  EXPECT_EQ(reader.Open(dir / "odd.db"), kInvalidData);
}

TEST(SqliteFileReaderOpen, PagesBeyondTwoGibibytes) {
  // A sparse file of 65,536-byte pages whose page 40,001 lies 2.6 GB in.
  TempDir dir;
  const fs::path db = dir / "large.db";
  std::string header(65536, '\0');
  header.replace(0, 16, std::string("SQLite format 3\0", 16));
  header[16] = 0;
  header[17] = 1;  // 65,536
  testing::WriteFile(db, header);
  const std::uint64_t index = 40000;
  fs::resize_file(db, (index + 1) * 65536);
  {
    std::fstream out(db, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(index * 65536));
    out.write("far page", 8);
  }
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  EXPECT_EQ(reader.pageCount, index + 1);
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  ASSERT_EQ(reader.ReadPage(static_cast<std::uint32_t>(index), page.data()), kOk);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(page.data()), 8), "far page");
}

TEST(SqliteFileReaderFreelist, LeavesInChainOrderAndDamagedChainsEnd) {
  TempDir dir;
  const fs::path db = dir / "free.db";
  MakeSqliteDatabase(db, {Pragmas(1024), kHandleTable, InsertHandles(1, 3000), "DELETE FROM handle WHERE ROWID > 100;"});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  const std::int64_t freePages = Query(db, "PRAGMA freelist_count;").at(0);
  ASSERT_GT(freePages, 10);
  // freelist_count counts trunks too; with 1 KiB pages one trunk holds up to 254 leaves.
  const std::int64_t trunks = (freePages + 254) / 255;
  EXPECT_EQ(static_cast<std::int64_t>(reader.freelistLeafPages.size()), freePages - trunks);
  const std::set<std::uint32_t> unique(reader.freelistLeafPages.begin(), reader.freelistLeafPages.end());
  EXPECT_EQ(unique.size(), reader.freelistLeafPages.size());
  for (const std::uint32_t leaf : reader.freelistLeafPages) EXPECT_LT(leaf, reader.pageCount);

  // A trunk whose next pointer names itself, and one that claims more leaves than a page holds.
  std::string bytes = testing::ReadFile(db);
  const std::uint32_t trunk = ReadBe32(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 32);
  const std::size_t at = static_cast<std::size_t>(trunk - 1) * 1024;
  bytes[at + 0] = static_cast<char>(trunk >> 24);
  bytes[at + 1] = static_cast<char>(trunk >> 16);
  bytes[at + 2] = static_cast<char>(trunk >> 8);
  bytes[at + 3] = static_cast<char>(trunk);
  bytes[at + 4] = '\x7F';
  testing::WriteFile(dir / "loop.db", bytes);
  ASSERT_EQ(reader.Open(dir / "loop.db"), kOk);
  EXPECT_LE(reader.freelistLeafPages.size(), (1024u - 8) / 4);
}

TEST(FindTableRoots, LeafAndInteriorSchemasWithIndexes) {
  TempDir dir;
  // A small schema fits on page 1 (a leaf); 120 tables need interior schema pages.
  for (const int tables : {1, 120}) {
    const fs::path db = dir / ("schema" + std::to_string(tables) + ".db");
    std::vector<std::string> sql{Pragmas(1024), kHandleTable, "CREATE INDEX handle_by_country ON handle(country);"};
    for (int t = 0; t < tables; ++t) sql.push_back("CREATE TABLE filler" + std::to_string(t) + " (a, b, c);");
    MakeSqliteDatabase(db, sql);
    SqliteFileReader reader;
    ASSERT_EQ(reader.Open(db), kOk);
    std::vector<std::uint8_t> page = reader.NewPageBuffer();
    ASSERT_EQ(reader.ReadPage(0, page.data()), kOk);
    EXPECT_EQ(page[100], tables == 1 ? kLeafTablePage : kInteriorTablePage);

    ChildPageMap roots;
    ASSERT_EQ(reader.FindTableRoots("handle", roots), kOk);
    std::set<std::uint32_t> expected;
    for (const std::int64_t root : Query(db, "SELECT rootpage FROM sqlite_master WHERE tbl_name = 'handle';")) {
      expected.insert(static_cast<std::uint32_t>(root - 1));
    }
    std::set<std::uint32_t> found;
    for (const auto& [index, key] : roots) {
      found.insert(index);
      EXPECT_EQ(key, -1);
    }
    EXPECT_EQ(found, expected) << tables;
    EXPECT_EQ(found.size(), 4u);  // the table, the two indexes behind its UNIQUE constraints, one more

    roots.clear();
    ASSERT_EQ(reader.FindTableRoots("filler0", roots), kOk);
    EXPECT_EQ(roots.size(), 1u);
    roots.clear();
    ASSERT_EQ(reader.FindTableRoots("HANDLE", roots), kOk);  // names match case-sensitively
    EXPECT_TRUE(roots.empty());
  }
}

TEST(CollectLiveCells, EveryRowOfMultiLevelTreesAtEveryPageSize) {
  TempDir dir;
  for (const int size : {512, 1024, 4096, 65536}) {
    const fs::path db = dir / ("live" + std::to_string(size) + ".db");
    const int rows = size == 65536 ? 20000 : 5000;
    // Every 50th row holds a text long enough to spill to overflow pages.
    MakeSqliteDatabase(db, {Pragmas(size), kHandleTable, InsertHandles(1, rows),
                            "UPDATE handle SET uncanonicalized_id = substr(hex(randomblob(" + std::to_string(size * 2) +
                                ")) || id, 1, " + std::to_string(size * 3) + ") WHERE ROWID % 50 = 0;"});
    SqliteFileReader reader;
    ASSERT_EQ(reader.Open(db), kOk);
    testing::RowCollector collector;
    ASSERT_EQ(RunTableDecoder(reader, "handle", collector, false), kOk);
    std::vector<std::uint64_t> rowids;
    std::uint32_t lastPage = 0;
    for (const testing::CollectedRow& row : collector.rows) {
      if (!row.live) continue;
      ASSERT_EQ(row.state, RowState::kNormal);
      ASSERT_GE(row.pageIndex, lastPage);  // leaves in ascending page index
      lastPage = row.pageIndex;
      rowids.push_back(row.rowid);
      ASSERT_EQ(row.values.size(), 5u);
      EXPECT_EQ(row.values[1].rfind("id-" + std::to_string(row.rowid) + "-", 0), 0u) << row.values[1];
      if (row.rowid % 50 == 0) {
        ASSERT_EQ(row.values[4].size(), static_cast<std::size_t>(size * 3)) << "overflow chain gathered whole";
        EXPECT_EQ(row.values[4].find("id-"), std::string::npos);  // the id text was cut off by substr
      } else {
        EXPECT_EQ(row.values[4], "NULL");
      }
    }
    std::sort(rowids.begin(), rowids.end());
    const std::vector<std::int64_t> expected = Query(db, "SELECT ROWID FROM handle ORDER BY ROWID;");
    ASSERT_EQ(rowids.size(), expected.size()) << size;
    for (std::size_t i = 0; i < rowids.size(); ++i) ASSERT_EQ(rowids[i], static_cast<std::uint64_t>(expected[i]));
  }
}

TEST(CollectLiveCells, LoopsAndDepthInDamagedTreesEnd) {
  TempDir dir;
  const fs::path db = dir / "tree.db";
  MakeSqliteDatabase(db, {Pragmas(512), kHandleTable, InsertHandles(1, 2000)});
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  ChildPageMap roots;
  ASSERT_EQ(reader.FindTableRoots("handle", roots), kOk);
  // The table's root is the lowest root (created before its indexes).
  const std::uint32_t root = roots.begin()->first;
  std::string bytes = testing::ReadFile(db);
  auto* raw = reinterpret_cast<std::uint8_t*>(bytes.data());
  ASSERT_EQ(raw[root * 512], kInteriorTablePage);
  // Point the root's right-most child back at the root itself.
  const std::uint32_t self = root + 1;
  for (int i = 0; i < 4; ++i) raw[root * 512 + 8 + i] = static_cast<std::uint8_t>(self >> (24 - 8 * i));
  testing::WriteFile(dir / "loop.db", bytes);
  ASSERT_EQ(reader.Open(dir / "loop.db"), kOk);
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  ASSERT_EQ(reader.ReadPage(root, page.data()), kOk);
  PageCellMap cells;
  EXPECT_EQ(reader.CollectLiveCells(root, page.data(), cells), kOk);
  EXPECT_FALSE(cells.empty());
  EXPECT_EQ(cells.count(root), 0u);
}

// A file cut in half: the pages that are gone are told as damage, every page that is there is read.
TEST(CollectLiveCells, ShortFileLosesOnlyThePagesThatAreGone) {
  TempDir dir;
  const fs::path db = dir / "cut.db";
  MakeSqliteDatabase(db, {Pragmas(1024), kHandleTable, InsertHandles(1, 3000)});
  const std::string bytes = testing::ReadFile(db);
  testing::WriteFile(dir / "short.db", bytes.substr(0, bytes.size() / 2));
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "short.db"), kOk);
  testing::RowCollector collector;
  EXPECT_EQ(RunTableDecoder(reader, "handle", collector), kOk);
  EXPECT_FALSE(collector.rows.empty());
  ASSERT_FALSE(reader.Damage().empty());
  for (const PageDamage& d : reader.Damage()) {
    EXPECT_GT(d.page, reader.pageCount) << d.why;
    EXPECT_NE(d.why.find("past the database's last page"), std::string::npos) << d.why;
  }
}

// The cells of a leaf page as its header counts them.
int LeafCells(const std::string& file, std::uint32_t pageSize, std::uint32_t number) {
  const std::size_t at = static_cast<std::size_t>(number - 1) * pageSize + (number == 1 ? 100 : 0);
  EXPECT_EQ(static_cast<std::uint8_t>(file[at]), kLeafTablePage);
  return (static_cast<std::uint8_t>(file[at + 3]) << 8) | static_cast<std::uint8_t>(file[at + 4]);
}

std::uint32_t Be32(const std::string& bytes, std::size_t at) {
  return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at])) << 24) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 2])) << 8) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 3]));
}

void PutBe32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
}

// One child pointer of the root set past the end of the file, then set to its neighbour's page: each
// time the damage names the page and why, every other leaf is read through the tree, and the leaf the
// pointer stood for, which no tree reaches any more, is found among the pages no tree holds and read
// all the same: no row is lost.
TEST(CollectLiveCells, ABadChildPointerLosesNoRow) {
  TempDir dir;
  const fs::path db = dir / "tree.db";
  MakeSqliteDatabase(db, {Pragmas(4096), kHandleTable, InsertHandles(1, 3000)});
  const std::uint32_t root = static_cast<std::uint32_t>(Query(db, "SELECT rootpage FROM sqlite_master WHERE name = 'handle'").at(0));
  std::string bytes = testing::ReadFile(db);
  const std::size_t page = static_cast<std::size_t>(root - 1) * 4096;
  ASSERT_EQ(static_cast<std::uint8_t>(bytes[page]), kInteriorTablePage);  // the root over leaves
  const int children = (static_cast<std::uint8_t>(bytes[page + 3]) << 8) | static_cast<std::uint8_t>(bytes[page + 4]);
  ASSERT_GE(children, 4);
  // The third cell's child pointer.
  const std::size_t third = page + ((static_cast<std::uint8_t>(bytes[page + 16]) << 8) | static_cast<std::uint8_t>(bytes[page + 17]));
  const std::size_t second = page + ((static_cast<std::uint8_t>(bytes[page + 14]) << 8) | static_cast<std::uint8_t>(bytes[page + 15]));
  const std::uint32_t lostLeaf = Be32(bytes, third);
  ASSERT_GT(LeafCells(bytes, 4096, lostLeaf), 0);
  const std::uint32_t pages = static_cast<std::uint32_t>(bytes.size() / 4096);
  const std::string orphan = "is a leaf of \"handle\" that no tree reaches any more: its rows are read all the same";

  PutBe32(bytes, third, pages + 500);
  testing::WriteFile(dir / "past.db", bytes);
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(dir / "past.db"), kOk);
  testing::RowCollector past;
  EXPECT_EQ(RunTableDecoder(reader, "handle", past), kOk);
  EXPECT_EQ(past.LiveCount(), 3000u);
  ASSERT_EQ(reader.Damage().size(), 2u);
  EXPECT_EQ(reader.Damage()[0].page, pages + 500);
  EXPECT_EQ(reader.Damage()[0].why, "lies past the database's last page, " + std::to_string(pages) +
                                        " (a child of page " + std::to_string(root) + ")");
  EXPECT_EQ(reader.Damage()[1].page, lostLeaf);
  EXPECT_EQ(reader.Damage()[1].why, orphan);

  // The same child pointing at its neighbour's leaf: a page named twice, read once.
  PutBe32(bytes, third, Be32(bytes, second));
  testing::WriteFile(dir / "twice.db", bytes);
  ASSERT_EQ(reader.Open(dir / "twice.db"), kOk);
  EXPECT_TRUE(reader.Damage().empty());  // an open file starts without the last one's damage
  testing::RowCollector twice;
  EXPECT_EQ(RunTableDecoder(reader, "handle", twice), kOk);
  EXPECT_EQ(twice.LiveCount(), 3000u);
  std::set<std::uint64_t> rowids;
  for (const testing::CollectedRow& r : twice.rows) {
    if (r.live) rowids.insert(r.rowid);
  }
  EXPECT_EQ(rowids.size(), 3000u);  // each row once
  ASSERT_EQ(reader.Damage().size(), 2u);
  EXPECT_EQ(reader.Damage()[0].page, Be32(bytes, second));
  EXPECT_EQ(reader.Damage()[0].why,
            "is named twice by page " + std::to_string(root) + ": the child it stands for instead is lost");
  EXPECT_EQ(reader.Damage()[1].page, lostLeaf);
  EXPECT_EQ(reader.Damage()[1].why, orphan);

  // The whole file: no damage, and nothing read twice.
  ASSERT_EQ(reader.Open(db), kOk);
  testing::RowCollector whole;
  EXPECT_EQ(RunTableDecoder(reader, "handle", whole), kOk);
  EXPECT_EQ(whole.LiveCount(), 3000u);
  EXPECT_TRUE(reader.Damage().empty());
}

}  // namespace
}  // namespace dunmere
