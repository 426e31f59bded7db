// Times reading a database whose last changes are in its write-ahead log against reading the same
// database checkpointed (the same rows, no log), and checks that the live rows read with the log are those the SQLite
// library returns with the log applied.
//
//   bench_wal [ROWS] [LOG_ROWS]    (default 1,000,000 rows of about 200 bytes, about 200 MB, and
//                                   200,000 rows in the log, about 40 MB)
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace dunmere;

void Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "SQL failed: %s\n", error != nullptr ? error : "?");
    std::exit(1);
  }
}

void Fill(sqlite3* db, long from, long to) {
  Exec(db, "BEGIN;");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t (id, name, body) VALUES (?, ?, ?);", -1, &insert, nullptr);
  const std::string body(170, 'b');
  for (long i = from; i < to; ++i) {
    const std::string name = "row " + std::to_string(i);
    sqlite3_bind_int64(insert, 1, i);
    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, body.c_str(), -1, SQLITE_STATIC);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Exec(db, "COMMIT;");
}

// Live rows read by our reader, and the time the best of three runs took.
long LiveRows(const fs::path& db, const fs::path& log, double& ms) {
  long live = 0;
  ms = 1e300;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    SqliteFileReader reader;
    if (reader.Open(db, log) != kOk) std::exit(1);
    TableRequest request;
    request.table = "t";
    request.freedPages = false;
    std::vector<DeclaredColumn> columns;
    TableColumns(reader, request, columns);
    live = 0;
    DecodeTableRows(reader, request, columns, [&live](AnyRow& row) { live += row.deleted == 0 ? 1 : 0; });
    ms = std::min(ms, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return live;
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  const long logRows = argc > 2 ? std::atol(argv[2]) : 200000;
  testing::TempDir dir;
  const fs::path path = dir / "big.db";
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  Exec(db, "PRAGMA page_size=4096; PRAGMA journal_mode=DELETE; PRAGMA secure_delete=OFF;");
  Exec(db, "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);");
  Fill(db, 0, rows);
  Exec(db, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
  Fill(db, rows, rows + logRows);
  Exec(db, "DELETE FROM t WHERE id % 50 = 0 AND id < " + std::to_string(rows / 4) + ";");
  int set = 0;
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &set);
  sqlite3_close(db);
  fs::remove(path.string() + "-shm");
  const fs::path log = path.string() + "-wal";
  std::printf("database %.0f MB, log %.0f MB\n", fs::file_size(path) / 1048576.0, fs::file_size(log) / 1048576.0);

  // The library's count with the log applied, from a copy (the library writes beside what it opens).
  fs::copy_file(path, dir / "copy.db");
  fs::copy_file(log, dir / "copy.db-wal");
  long expected = 0;
  sqlite3_open((dir / "copy.db").c_str(), &db);
  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM t;", -1, &count, nullptr);
  if (sqlite3_step(count) == SQLITE_ROW) expected = sqlite3_column_int64(count, 0);
  sqlite3_finalize(count);
  // The same database without a log: the copy checkpointed by the library.
  Exec(db, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;");
  sqlite3_close(db);

  double withLog = 0, without = 0;
  const long live = LiveRows(path, log, withLog);
  const long plain = LiveRows(dir / "copy.db", dir / "no-such-wal", without);
  std::printf("live rows with the log %ld (the library: %ld, %s); the same database checkpointed: %ld\n", live,
              expected, live == expected ? "equal" : "DIFFERENT", plain);
  std::printf("read with the log %.0f ms, the same rows without a log %.0f ms: %.2fx\n", withLog, without,
              withLog / without);
  return live == expected ? 0 : 1;
}
