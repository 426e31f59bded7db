// Databases whose last changes are still in their write-ahead log, written by the SQLite library
// itself (autocheckpoint off, closed without a checkpoint): the reader sees every page in its newest
// committed version, as the library does; torn, damaged and stale frames are not counted. What the
// log forgot (older versions of pages, uncommitted frames, frames of an earlier salt) gives deleted
// rows marked as the log's.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;

// A database with its last changes only in its log, pages of 4 KiB.
void MakeWithLog(const fs::path& path, std::vector<std::string> before, const std::vector<std::string>& inLog) {
  before.insert(before.begin(), "PRAGMA page_size=4096;");
  testing::MakeSqliteDatabaseWithLog(path, before, inLog);
}

// The live rows' first values as our reader sees them.
std::set<std::string> LiveNames(const fs::path& path, const std::string& table, const fs::path& log = {}) {
  SqliteFileReader reader;
  EXPECT_EQ(reader.Open(path, log), kOk);
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  EXPECT_EQ(DecodeAnyTable(reader, table, columns, rows), kOk);
  std::set<std::string> names;
  for (const AnyRow& r : rows) {
    if (r.deleted == 0 && r.values.size() > 1) names.insert(r.values[1].bytes);
  }
  return names;
}

// The same rows as the SQLite library reads them with the log applied (from a copy: the library
// writes beside what it opens).
std::set<std::string> LibraryNames(const fs::path& path, const std::string& table) {
  const fs::path copy = path.parent_path() / ("copy-" + path.filename().string());
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
  fs::copy_file(path.string() + "-wal", copy.string() + "-wal", fs::copy_options::overwrite_existing);
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(copy.c_str(), &db), SQLITE_OK);
  std::set<std::string> names;
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, ("SELECT name FROM " + table).c_str(), -1, &statement, nullptr), SQLITE_OK);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    names.insert(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return names;
}

std::string Insert(int from, int to, const std::string& tag) {
  std::string sql = "INSERT INTO t (name, body) VALUES ";
  for (int i = from; i < to; ++i) {
    sql += (i == from ? "" : ",") + std::string("('") + tag + std::to_string(i) + "', '" + std::string(60, 'x') + "')";
  }
  return sql + ";";
}

TEST(WriteAheadLog, RowsOnlyInTheLogAsTheLibrarySeesThem) {
  testing::TempDir dir;
  const fs::path db = dir / "a.db";
  MakeWithLog(db, {"CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);", Insert(0, 100, "old")},
              {Insert(100, 180, "new"), "DELETE FROM t WHERE id BETWEEN 10 AND 32;",
               // Several commits of one page: the newest counts.
               "UPDATE t SET name = 'renamed once' WHERE id = 50;", "UPDATE t SET name = 'renamed twice' WHERE id = 50;"});
  const std::set<std::string> ours = LiveNames(db, "t");
  EXPECT_EQ(ours, LibraryNames(db, "t"));
  EXPECT_EQ(ours.size(), 180u - 23u);
  EXPECT_TRUE(ours.count("new179"));
  EXPECT_FALSE(ours.count("old10"));  // deleted in the log
  EXPECT_TRUE(ours.count("renamed twice"));
  EXPECT_FALSE(ours.count("renamed once"));

  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  EXPECT_TRUE(reader.logUsed);
  EXPECT_GT(reader.logCommittedFrames, 0u);
  // Without its log the file is the database before the log's changes.
  fs::rename(db.string() + "-wal", dir / "elsewhere-wal");
  EXPECT_EQ(LiveNames(db, "t").count("new100"), 0u);
  // A log named apart (a backup keeps it under a name of its own).
  EXPECT_EQ(LiveNames(db, "t", dir / "elsewhere-wal"), ours);
}

TEST(WriteAheadLog, TornDamagedAndStaleFramesAreNotCounted) {
  testing::TempDir dir;
  const fs::path db = dir / "b.db";
  MakeWithLog(db, {"CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);", Insert(0, 20, "old")},
              {Insert(20, 40, "first"), Insert(40, 60, "second"), Insert(60, 80, "third")});
  const fs::path log = db.string() + "-wal";
  const std::string whole = [&] {
    std::ifstream in(log, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  const std::size_t frame = 24 + 4096;
  const std::size_t frames = (whole.size() - 32) / frame;
  ASSERT_GE(frames, 3u);
  const auto writeLog = [&](const std::string& bytes) { std::ofstream(log, std::ios::binary | std::ios::trunc) << bytes; };

  // A torn last frame: the last transaction does not count, the earlier ones do.
  writeLog(whole.substr(0, whole.size() - 100));
  std::set<std::string> names = LiveNames(db, "t");
  EXPECT_TRUE(names.count("second59"));
  EXPECT_FALSE(names.count("third60"));

  // A bad checksum in the second frame: that frame and every later one are ignored.
  std::string damaged = whole;
  damaged[32 + frame + 24 + 100] ^= 0x5A;
  writeLog(damaged);
  names = LiveNames(db, "t");
  EXPECT_TRUE(names.count("first39"));
  EXPECT_FALSE(names.count("second40"));
  EXPECT_FALSE(names.count("third79"));

  // Frames of an earlier salt (left behind a restarted log) are not counted.
  std::string stale = whole;
  for (std::size_t f = 1; f < frames; ++f) stale[32 + f * frame + 8] ^= 0x01;  // salt-1 of every later frame
  writeLog(stale);
  names = LiveNames(db, "t");
  EXPECT_TRUE(names.count("first39"));
  EXPECT_FALSE(names.count("second40"));

  // A log whose header is damaged, or of another page size, is not used at all.
  std::string badHeader = whole;
  badHeader[26] ^= 0x01;
  writeLog(badHeader);
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  EXPECT_FALSE(reader.logUsed);
  EXPECT_EQ(LiveNames(db, "t").size(), 20u);
  writeLog(whole.substr(0, 20));
  EXPECT_EQ(LiveNames(db, "t").size(), 20u);
}

std::uint32_t Be32At(const std::string& b, std::size_t at) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8) | static_cast<unsigned char>(b[at + 3]);
}
void PutBe32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
}

// Writes every frame's checksum again, as a writer of the log would (after frame headers were changed).
void Rechecksum(std::string& log, std::size_t pageSize) {
  const bool big = Be32At(log, 0) == 0x377f0683;
  const auto word = [&](std::size_t at) {
    const std::uint32_t be = Be32At(log, at);
    return big ? be : __builtin_bswap32(be);
  };
  std::uint32_t s0 = Be32At(log, 24), s1 = Be32At(log, 28);
  const auto mix = [&](std::size_t from, std::size_t size) {
    for (std::size_t i = from; i < from + size; i += 8) {
      s0 += word(i) + s1;
      s1 += word(i + 4) + s0;
    }
  };
  for (std::size_t frame = 32; frame + 24 + pageSize <= log.size(); frame += 24 + pageSize) {
    mix(frame, 8);
    mix(frame + 24, pageSize);
    PutBe32(log, frame + 16, s0);
    PutBe32(log, frame + 20, s1);
  }
}

// Changes the frames of a database's log of 4 KiB pages (edit) and writes their checksums again.
template <typename Edit>
void RewriteLog(const fs::path& db, Edit edit) {
  const fs::path log = db.string() + "-wal";
  std::string bytes = testing::ReadFile(log);
  edit(bytes, std::size_t{24 + 4096});
  Rechecksum(bytes, 4096);
  testing::WriteFile(log, bytes);
}

// A log whose commit frame claims four billion pages (its checksums made right): the reader takes the
// pages the file and the log hold, and reads the same rows, without reserving room for the claim.
TEST(WriteAheadLog, ACommitFrameClaimingAHugeDatabase) {
  testing::TempDir dir;
  const fs::path db = dir / "claim.db";
  MakeWithLog(db, {"CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);", Insert(0, 20, "old")},
              {Insert(20, 40, "new")});
  const std::set<std::string> before = LiveNames(db, "t");
  RewriteLog(db, [](std::string& bytes, std::size_t frame) {
    for (std::size_t at = 32; at + frame <= bytes.size(); at += frame) {
      if (Be32At(bytes, at + 4) != 0) PutBe32(bytes, at + 4, 0xFFFFFFF0u);
    }
  });
  SqliteFileReader reader;
  ASSERT_EQ(reader.Open(db), kOk);
  EXPECT_TRUE(reader.logUsed);
  EXPECT_LT(reader.pageCount, 100u);
  EXPECT_EQ(LiveNames(db, "t"), before);
}

// A commit frame (checksums made right) naming a page no database of this file and log can have, and a
// database that large: four billion pages, fifty million. They are damage, told once, and left out; the rest of the log is read as before, and
// nothing is sized by the numbers they claim.
TEST(WriteAheadLog, FramesOfPagesBeyondAnyTheDatabaseCanHave) {
  for (const std::uint32_t claimed : {0xFFFFFFFFu, 50000000u}) {
    SCOPED_TRACE(claimed);
    testing::TempDir dir;
    const fs::path db = dir / "beyond.db";
    MakeWithLog(db, {"CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);", Insert(0, 20, "old")},
                {Insert(20, 40, "new"), "UPDATE t SET body = 'changed' WHERE id = 3;"});
    const std::set<std::string> before = LiveNames(db, "t");
    // One more transaction of one frame: the page claimed, and a database that large after it.
    RewriteLog(db, [claimed](std::string& bytes, std::size_t frame) {
      ASSERT_GE(bytes.size(), 32 + frame);
      std::string extra = bytes.substr(bytes.size() - frame);
      PutBe32(extra, 0, claimed);
      PutBe32(extra, 4, claimed);
      bytes += extra;
    });
    SqliteFileReader reader;
    ASSERT_EQ(reader.Open(db), kOk);
    EXPECT_TRUE(reader.logUsed);
    EXPECT_LT(reader.pageCount, 100u);
    ASSERT_EQ(reader.Damage().size(), 1u);
    EXPECT_EQ(reader.Damage()[0].page, claimed);
    EXPECT_NE(reader.Damage()[0].why.find("write-ahead log"), std::string::npos);
    EXPECT_EQ(LiveNames(db, "t"), before);
  }
}

// The deleted rows' names as our reader sees them; inLog gets those found only in older page versions.
std::multiset<std::string> DeletedNames(const fs::path& path, std::multiset<std::string>* inLog = nullptr) {
  SqliteFileReader reader;
  EXPECT_EQ(reader.Open(path), kOk);
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  EXPECT_EQ(DecodeAnyTable(reader, "t", columns, rows), kOk);
  std::multiset<std::string> names;
  for (const AnyRow& r : rows) {
    if (r.deleted == 0 || r.values.size() < 2) continue;
    names.insert(r.values[1].bytes);
    if (inLog != nullptr && r.deleted == static_cast<std::uint8_t>(RowState::kDeletedInLog)) {
      EXPECT_TRUE(r.fromLog);
      inLog->insert(r.values[1].bytes);
    }
  }
  return names;
}

std::multiset<std::string> Names(const std::string& tag, int from, int to) {
  std::multiset<std::string> names;
  for (int i = from; i < to; ++i) names.insert(tag + std::to_string(i));
  return names;
}

// Secure delete on: the newest versions of the pages keep nothing of a deleted row, so whatever is
// found of one comes from what the log forgot.
TEST(WriteAheadLog, DeletedRowsOfOlderPageVersions) {
  testing::TempDir dir;
  const fs::path db = dir / "c.db";
  MakeWithLog(db, {"PRAGMA secure_delete=ON;", "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);",
                   Insert(0, 100, "old")},
              {Insert(100, 180, "new"), "DELETE FROM t WHERE id BETWEEN 10 AND 32;",
               "DELETE FROM t WHERE id BETWEEN 120 AND 162;", "UPDATE t SET name = 'renamed once' WHERE id = 50;",
               "UPDATE t SET name = 'renamed twice' WHERE id = 50;"});
  // Row ids start at 1: names at 0.
  std::multiset<std::string> expected = Names("old", 9, 32);
  const std::multiset<std::string> inserted = Names("new", 119, 162);
  expected.insert(inserted.begin(), inserted.end());
  // Row 50 was written three times: of its older versions only the newest is kept.
  expected.insert("renamed once");
  std::multiset<std::string> inLog;
  // Every row deleted or changed in the log, each once, and nothing else; all of them the log's.
  EXPECT_EQ(DeletedNames(db, &inLog), expected);
  EXPECT_EQ(inLog, expected);
  EXPECT_EQ(LiveNames(db, "t"), LibraryNames(db, "t"));

  // Without the log the file is the database before it: none of this is deleted yet.
  fs::rename(db.string() + "-wal", dir / "elsewhere-wal");
  EXPECT_TRUE(DeletedNames(db).empty());
}

TEST(WriteAheadLog, DeletedRowsOfUncommittedFramesAndAnEarlierSalt) {
  testing::TempDir dir;
  // A transaction too large for the page cache spills to the log and never commits. Its frames keep
  // stale checksums, and those after its first no salts.
  const fs::path pending = dir / "pending.db";
  std::vector<std::string> pendingRows;
  for (int i = 100; i < 1100; ++i) pendingRows.push_back(Insert(i, i + 1, "pending"));
  testing::MakeSqliteDatabaseWithLog(
      pending, {"PRAGMA page_size=4096;", "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);",
                Insert(0, 20, "old")},
      {Insert(20, 40, "first"), "PRAGMA wal_checkpoint;", Insert(40, 60, "second")}, pendingRows);
  EXPECT_EQ(LiveNames(pending, "t"), LibraryNames(pending, "t"));
  EXPECT_EQ(LiveNames(pending, "t").size(), 60u);
  std::multiset<std::string> inLog;
  const std::multiset<std::string> found = DeletedNames(pending, &inLog);
  EXPECT_EQ(found, inLog);
  EXPECT_GE(found.size(), 900u);  // of 1000: those the cache held at the close were never written
  const std::multiset<std::string> written = Names("pending", 100, 1100);
  for (const std::string& name : found) EXPECT_EQ(written.count(name), 1u) << name;
  EXPECT_EQ(std::set<std::string>(found.begin(), found.end()).size(), found.size());

  // A checkpoint, then a write that starts the log over with new salts: the frames beyond it are of
  // the earlier salt and still hold the rows deleted before the checkpoint.
  const fs::path restarted = dir / "restarted.db";
  MakeWithLog(restarted, {"PRAGMA secure_delete=ON;", "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);",
                          Insert(0, 20, "old")},
              {Insert(20, 150, "gen"), "DELETE FROM t WHERE id > 100;", "PRAGMA wal_checkpoint;",
               "UPDATE t SET name = 'after' WHERE id = 1;"});
  EXPECT_EQ(LiveNames(restarted, "t"), LibraryNames(restarted, "t"));
  inLog.clear();
  const std::multiset<std::string> earlier = DeletedNames(restarted, &inLog);
  EXPECT_EQ(earlier, inLog);
  std::multiset<std::string> gone = Names("gen", 100, 150);  // row ids 101 to 150
  gone.insert("old0");                                        // row 1 before its update
  EXPECT_GE(earlier.size(), 40u);
  for (const std::string& name : earlier) EXPECT_EQ(gone.count(name), 1u) << name;
}

// The deleted rows of a table, each as its name and whether it is an older version of a live row.
std::vector<std::pair<std::string, bool>> DeletedRows(const fs::path& path, const std::string& table) {
  SqliteFileReader reader;
  EXPECT_EQ(reader.Open(path), kOk);
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  EXPECT_EQ(DecodeAnyTable(reader, table, columns, rows), kOk);
  std::vector<std::pair<std::string, bool>> out;
  for (const AnyRow& r : rows) {
    if (r.deleted != 0 && r.values.size() > 1) out.emplace_back(r.values[1].bytes, r.olderVersion);
  }
  return out;
}

// Two tables of one shape; only one of them has a history in the log. A small table rewritten by every
// transaction leaves many versions of its page, and a page freed by one table is taken by the other:
// each version belongs to the tree that held its page when it was written, never to a table of the
// same column count.
TEST(WriteAheadLog, VersionsBelongToTheTreeThatHeldTheirPage) {
  // With secure delete off, the leaves t freed keep its cells, in the file and in the log's versions,
  // and other tables of its shape would take them for theirs: they are t's.
  for (const char* secureDelete : {"PRAGMA secure_delete=ON;", "PRAGMA secure_delete=OFF;"}) {
    SCOPED_TRACE(secureDelete);
    testing::TempDir dir;
    const fs::path db = dir / "two.db";
    std::vector<std::string> inLog;
    for (int i = 0; i < 30; ++i) inLog.push_back("UPDATE counter SET name = 'seq" + std::to_string(i) + "';");
    inLog.push_back("DELETE FROM t WHERE id BETWEEN 1 AND 120;");  // frees leaves of t
    inLog.push_back("INSERT INTO other (name, body) SELECT 'taken' || id, body FROM t WHERE id > 170;");
    MakeWithLog(db, {secureDelete, "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);",
                     "CREATE TABLE counter (id INTEGER PRIMARY KEY, name TEXT, body TEXT);",
                     "CREATE TABLE other (id INTEGER PRIMARY KEY, name TEXT, body TEXT);",
                     "INSERT INTO counter VALUES (1, 'start', 'x');", Insert(0, 180, "old")},
                inLog);
    // The table that lost nothing shows nothing deleted, whatever the log kept of the others' pages.
    EXPECT_TRUE(DeletedRows(db, "other").empty());
    // The counter's row, rewritten thirty times, is one older version of a live row: the newest that
    // differs.
    const auto counter = DeletedRows(db, "counter");
    ASSERT_EQ(counter.size(), 1u);
    EXPECT_EQ(counter[0], std::make_pair(std::string("seq28"), true));
    // The rows deleted from t, each once, none of them an older version of a live row.
    std::multiset<std::string> names;
    for (const auto& [name, older] : DeletedRows(db, "t")) {
      names.insert(name);
      EXPECT_FALSE(older) << name;
    }
    EXPECT_EQ(names, Names("old", 0, 120));
  }
}

// A row written five times in the log and then deleted is one deleted row: its last version.
TEST(WriteAheadLog, ARowRewrittenThenDeletedIsOneRow) {
  testing::TempDir dir;
  const fs::path db = dir / "rewritten.db";
  std::vector<std::string> inLog;
  for (int i = 1; i <= 5; ++i) inLog.push_back("UPDATE t SET name = 'version" + std::to_string(i) + "' WHERE id = 7;");
  inLog.push_back("DELETE FROM t WHERE id = 7;");
  MakeWithLog(db, {"PRAGMA secure_delete=ON;", "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);",
                   Insert(0, 20, "old")},
              inLog);
  const auto rows = DeletedRows(db, "t");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], std::make_pair(std::string("version5"), false));
}

// A history like a phone's: rows of t rewritten and deleted in runs over many transactions, a counter
// rewritten by each, rows added to v (which takes the pages t frees, their freed cells still on them),
// and u, which the log never touches. Each deleted row of t is one deleted row of t; no other table
// shows a row of t.
TEST(WriteAheadLog, AHistoryOfRewritesDeletionsAndPagesChangingHands) {
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t below) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % below;
  };
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE("history " + std::to_string(round));
    testing::TempDir dir;
    const fs::path db = dir / "history.db";
    std::vector<std::string> before{"PRAGMA secure_delete=OFF;"};
    for (const char* table : {"t", "u", "v", "counter"}) {
      before.push_back(std::string("CREATE TABLE ") + table + " (id INTEGER PRIMARY KEY, name TEXT, n INTEGER, body TEXT);");
    }
    const int rows = 300 + static_cast<int>(next(400));
    std::vector<int> version(static_cast<std::size_t>(rows) + 1, 0);
    for (int i = 1; i <= rows; ++i) {
      before.push_back("INSERT INTO t VALUES (" + std::to_string(i) + ", 't-" + std::to_string(i) + "-v0', " +
                       std::to_string(i) + ", '" + std::string(10 + next(70), 'x') + "');");
      before.push_back("INSERT INTO u VALUES (" + std::to_string(i) + ", 'u-" + std::to_string(i) + "', " +
                       std::to_string(i) + ", '" + std::string(10 + next(70), 'y') + "');");
    }
    before.push_back("INSERT INTO counter VALUES (1, 'c-0', 0, '');");
    std::vector<std::string> inLog;
    std::set<int> gone;
    std::map<int, std::string> truth;  // the version the last commit left of each deleted row
    std::vector<int> committed = version;
    for (int step = 0; step < 40; ++step) {
      std::string sql = "BEGIN; UPDATE counter SET name = 'c-" + std::to_string(step + 1) + "', n = n + 1;";
      for (std::uint32_t k = 1 + next(6); k > 0; --k) {
        const int i = 1 + static_cast<int>(next(static_cast<std::uint32_t>(rows)));
        if (gone.count(i) != 0) continue;
        ++version[static_cast<std::size_t>(i)];
        sql += "UPDATE t SET name = 't-" + std::to_string(i) + "-v" + std::to_string(version[static_cast<std::size_t>(i)]) +
               "' WHERE id = " + std::to_string(i) + ";";
      }
      if (next(2) == 0) {
        const int from = 1 + static_cast<int>(next(static_cast<std::uint32_t>(rows)));
        for (int i = from; i < from + 1 + static_cast<int>(next(40)) && i <= rows; ++i) {
          if (!gone.insert(i).second) continue;
          truth[i] = "t-" + std::to_string(i) + "-v" + std::to_string(committed[static_cast<std::size_t>(i)]);
          sql += "DELETE FROM t WHERE id = " + std::to_string(i) + ";";
        }
      }
      for (std::uint32_t k = next(11); k > 0; --k) {
        sql += "INSERT INTO v (name, n, body) VALUES ('v-" + std::to_string(step) + "', 0, '" + std::string(10 + next(70), 'z') + "');";
      }
      inLog.push_back(sql + "COMMIT;");
      committed = version;
    }
    MakeWithLog(db, before, inLog);
    for (const char* table : {"u", "v"}) {
      for (const auto& [name, older] : DeletedRows(db, table)) ADD_FAILURE() << "under " << table << ": " << name;
    }
    for (const auto& [name, older] : DeletedRows(db, "counter")) EXPECT_TRUE(older) << name;
    std::multiset<std::string> deleted;
    for (const auto& [name, older] : DeletedRows(db, "t")) {
      if (!older) deleted.insert(name);
    }
    std::multiset<std::string> expected;
    for (const auto& [i, name] : truth) expected.insert(name);
    EXPECT_EQ(deleted, expected);
  }
}

// A row rewritten and deleted in one transaction: the log never held the rewritten version as a row,
// only the freed space of the page it wrote does. The deleted row is the version the last commit
// left; the remains of the other, which lost their row id, are marked as a version of it.
TEST(WriteAheadLog, ARowRewrittenAndDeletedInOneTransaction) {
  testing::TempDir dir;
  const fs::path db = dir / "one.db";
  MakeWithLog(db, {"PRAGMA secure_delete=OFF;", "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT, n INTEGER);",
                   "WITH RECURSIVE k(v) AS (SELECT 0 UNION ALL SELECT v + 1 FROM k WHERE v < 59) "
                   "INSERT INTO t (name, body, n) SELECT 'old' || v, printf('%.*c', 30 + v % 20, 'x'), v FROM k;"},
              {"UPDATE t SET n = n + 1 WHERE id = 40;",
               "BEGIN; UPDATE t SET name = 'rewritten' WHERE id = 20; DELETE FROM t WHERE id = 20; COMMIT;"});
  std::vector<std::string> deleted, versions;
  for (const auto& [name, older] : DeletedRows(db, "t")) (older ? versions : deleted).push_back(name);
  EXPECT_EQ(deleted, std::vector<std::string>{"old19"});
  for (const std::string& name : versions) EXPECT_TRUE(name == "rewritten" || name == "old39") << name;
}

}  // namespace
}  // namespace dunmere
