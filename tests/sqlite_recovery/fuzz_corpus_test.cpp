// Inputs that once broke the page reader (found by the fuzzer, kept in fuzz_corpus/), replayed on
// every run, and a clean database damaged in many ways, none of which may crash or hang the reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "fuzz/recovery_fuzz_entry.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;

std::size_t RecoverFrom(const std::string& bytes) {
  return RunRecoveryOnBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(FuzzCorpus, EveryKeptInputRunsThrough) {
  std::size_t replayed = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(DUNMERE_FUZZ_CORPUS)) {
    if (!entry.is_regular_file()) continue;
    RecoverFrom(testing::ReadFile(entry.path()));
    ++replayed;
  }
  EXPECT_GT(replayed, 0u);
}

TEST(FuzzCorpus, DamagedDatabasesRunThrough) {
  const std::string clean = testing::SqliteDatabaseBytes(
      {"PRAGMA page_size=512;",
       "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY, id TEXT, country TEXT, service TEXT, u TEXT);",
       "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 300) "
       "INSERT INTO handle SELECT x, 'id-' || x, 'us', 'SMS', CASE WHEN x % 40 = 0 THEN hex(randomblob(600)) END FROM c;",
       "DELETE FROM handle WHERE ROWID % 7 = 0 OR ROWID BETWEEN 100 AND 180;"});
  ASSERT_GT(RecoverFrom(clean), 200u);
  std::mt19937 rng(20261208);
  for (int round = 0; round < 300; ++round) {
    std::string damaged = clean;
    if (round % 3 == 0) damaged.resize(rng() % damaged.size());
    for (int flips = 1 + static_cast<int>(rng() % 16); flips > 0; --flips) {
      if (!damaged.empty()) damaged[rng() % damaged.size()] = static_cast<char>(rng());
    }
    RecoverFrom(damaged);
  }
}

// A database with its log (several commits, a table WITHOUT ROWID, a dropped table) and the log
// damaged in many ways: cut, bytes changed, frames of its header's salts and of others.
TEST(FuzzCorpus, DamagedLogsRunThrough) {
  testing::TempDir dir;
  const fs::path db = dir / "logged.db";
  testing::MakeSqliteDatabaseWithLog(
      db,
      {"PRAGMA page_size=512;", "CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT);",
       "CREATE TABLE w (k TEXT PRIMARY KEY, v BLOB) WITHOUT ROWID;", "CREATE TABLE gone (id INTEGER PRIMARY KEY, v TEXT);",
       "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 200) "
       "INSERT INTO t SELECT x, 'row ' || x FROM c;",
       "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 200) "
       "INSERT INTO w SELECT 'key ' || x, randomblob(x % 50) FROM c;",
       "INSERT INTO gone SELECT id, v FROM t;"},
      {"DELETE FROM t WHERE id % 3 = 0;", "DELETE FROM w WHERE length(v) > 40;", "DROP TABLE gone;",
       "UPDATE t SET v = 'changed' WHERE id % 5 = 0;"});
  const std::string database = testing::ReadFile(db);
  const std::string log = testing::ReadFile(db.string() + "-wal");
  ASSERT_EQ(database.size() % 512, 0u);
  ASSERT_GT(RecoverFrom(database + log), 200u);
  std::mt19937 rng(20261209);
  for (int round = 0; round < 300; ++round) {
    std::string damaged = log;
    if (round % 3 == 0) damaged.resize(32 + rng() % (damaged.size() - 32));
    for (int flips = 1 + static_cast<int>(rng() % 16); flips > 0; --flips) {
      // The frame headers (page numbers, sizes, salts) as often as the pages.
      const std::size_t frame = 24 + 512;
      const std::size_t at = round % 2 == 0 ? 32 + (rng() % (damaged.size() / frame + 1)) * frame + rng() % 24
                                            : rng() % damaged.size();
      if (at < damaged.size()) damaged[at] = static_cast<char>(rng());
    }
    RecoverFrom(database + damaged);
  }
}

}  // namespace
}  // namespace dunmere
