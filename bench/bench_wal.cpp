// Times reading a database whose last changes are in its write-ahead log against reading the same
// database checkpointed (the same rows, no log), and checks that the live rows read with the log are those the SQLite
// library returns with the log applied. Then measures what is recovered of the rows that only the
// log's older page versions hold: thousands of small transactions (updates, deletes, inserts), a
// checkpoint that restarts the log, and a transaction left uncommitted.
//
//   bench_wal [ROWS] [LOG_ROWS]    (default 1,000,000 rows of about 200 bytes, about 200 MB, and
//                                   200,000 rows in the log, about 40 MB)
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/record_format.h"
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

// Live rows read by our reader; ms gets the time of the run when it is shorter.
long LiveRows(const fs::path& db, const fs::path& log, double& ms) {
  const auto start = Clock::now();
  SqliteFileReader reader;
  if (reader.Open(db, log) != kOk) std::exit(1);
  TableRequest request;
  request.table = "t";
  request.freedPages = false;
  std::vector<DeclaredColumn> columns;
  TableColumns(reader, request, columns);
  long live = 0;
  DecodeTableRows(reader, request, columns, [&live](AnyRow& row) { live += row.deleted == 0 ? 1 : 0; });
  ms = std::min(ms, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  return live;
}

// A row's values: its name (which holds its id) and body. A deleted row whose cell lost its key is still
// known by them.
using Version = std::pair<std::string, std::string>;

// Every row of t (3 columns) held whole by a cell of an older version of a page, read cell by cell.
std::set<Version> RowsOfOlderVersions(SqliteFileReader& reader) {
  std::set<Version> rows;
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  std::vector<std::uint16_t> cells;
  LiveRecord record;
  std::vector<ColumnValue> values;
  for (const PageVersion& version : reader.OlderPageVersions()) {
    if (reader.ReadPageVersion(version, page.data()) != kOk) continue;
    const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(version.index)};
    if (view.Kind() != kLeafTablePage) continue;
    cells.clear();
    CellList(view, cells);
    for (const std::uint16_t cell : cells) {
      if (GatherLiveRecord(reader, page.data(), cell, record) != kOk) continue;
      if (DecodeLiveRecord(record.data, record.size, values) != kOk || values.size() != 3 || !values[1].IsText() ||
          !values[2].IsText()) {
        continue;
      }
      rows.emplace(std::string(values[1].AsText()), std::string(values[2].AsText()));
    }
  }
  return rows;
}

// The quality of the rows recovered from what the log forgot; false when a target is missed.
bool LogRecoveryQuality(const fs::path& dir) {
  const fs::path path = dir / "history.db";
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  Exec(db, "PRAGMA page_size=4096; PRAGMA journal_mode=DELETE; PRAGMA secure_delete=OFF;");
  Exec(db, "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, body TEXT);");
  std::set<Version> written;  // every version of a row ever written
  std::mt19937 random(7);
  const auto name = [&random](const char* tag, long id) {
    return std::string(tag) + " " + std::to_string(id) + " " + std::string(random() % 40, 'n');
  };
  const auto body = [&random] { return std::string(20 + random() % 200, static_cast<char>('a' + random() % 26)); };
  sqlite3_stmt* insert = nullptr;
  sqlite3_stmt* update = nullptr;
  sqlite3_stmt* erase = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t (id, name, body) VALUES (?, ?, ?);", -1, &insert, nullptr);
  sqlite3_prepare_v2(db, "UPDATE t SET name = ?, body = ? WHERE id = ?;", -1, &update, nullptr);
  sqlite3_prepare_v2(db, "DELETE FROM t WHERE id = ?;", -1, &erase, nullptr);
  long next = 1;
  const auto add = [&](const char* tag) {
    const std::string n = name(tag, next), b = body();
    sqlite3_bind_int64(insert, 1, next);
    sqlite3_bind_text(insert, 2, n.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, b.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
    written.emplace(n, b);
    ++next;
  };
  Exec(db, "BEGIN;");
  for (int i = 0; i < 20000; ++i) add("file");
  Exec(db, "COMMIT; PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
  // Small transactions of one change each, a checkpoint (the log starts over) two thirds through.
  for (int step = 0; step < 6000; ++step) {
    if (step == 4000) Exec(db, "PRAGMA wal_checkpoint;");
    const long id = 1 + static_cast<long>(random() % static_cast<unsigned>(next - 1));
    switch (random() % 3) {
      case 0: add("log"); break;
      case 1: {
        const std::string n = name("changed", id), b = body();
        sqlite3_bind_text(update, 1, n.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(update, 2, b.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(update, 3, id);
        sqlite3_step(update);
        sqlite3_reset(update);
        written.emplace(n, b);
        break;
      }
      default:
        sqlite3_bind_int64(erase, 1, id);
        sqlite3_step(erase);
        sqlite3_reset(erase);
    }
  }
  // A transaction too large for a small page cache, never committed.
  Exec(db, "PRAGMA cache_size=1; BEGIN;");
  for (int i = 0; i < 3000; ++i) add("pending");
  sqlite3_finalize(insert);
  sqlite3_finalize(update);
  sqlite3_finalize(erase);
  int set = 0;
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &set);
  sqlite3_close(db);
  fs::remove(path.string() + "-shm");

  SqliteFileReader reader;
  if (reader.Open(path) != kOk) return false;
  TableRequest request;
  request.table = "t";
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  DecodeAnyTable(reader, request, columns, rows);
  std::set<Version> live, deleted, fromLog;
  for (const AnyRow& row : rows) {
    if (row.values.size() < 3 || row.values[1].kind != AnyValue::Kind::kText ||
        row.values[2].kind != AnyValue::Kind::kText) {
      if (row.deleted == static_cast<std::uint8_t>(RowState::kDeletedInLog)) fromLog.emplace("", "");  // no row written
      continue;
    }
    const Version v{row.values[1].bytes, row.values[2].bytes};
    (row.deleted == 0 ? live : deleted).insert(v);
    if (row.deleted == static_cast<std::uint8_t>(RowState::kDeletedInLog)) fromLog.insert(v);
  }
  // The rows only older versions hold: those whole in their cells that are no live row.
  std::set<Version> only;
  for (const Version& v : RowsOfOlderVersions(reader)) {
    if (live.count(v) == 0) only.insert(v);
  }
  std::size_t found = 0, right = 0;
  for (const Version& v : only) found += deleted.count(v);
  for (const Version& v : fromLog) right += written.count(v);
  const double recall = only.empty() ? 1.0 : static_cast<double>(found) / static_cast<double>(only.size());
  const double precision = fromLog.empty() ? 1.0 : static_cast<double>(right) / static_cast<double>(fromLog.size());
  std::printf("log history: %u frames (%u committed); %zu rows only in older page versions, %zu recovered (%.1f%%); "
              "%zu rows marked as the log's, %zu of them rows really written (precision %.2f%%)\n",
              reader.logFrames, reader.logCommittedFrames, only.size(), found, 100.0 * recall, fromLog.size(), right,
              100.0 * precision);
  return recall >= 0.95 && precision >= 0.99;
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

  // The best of five runs each, taken in turns (the machine's load changes over the runs).
  double withLog = 1e300, without = 1e300;
  long live = 0, plain = 0;
  for (int round = 0; round < 5; ++round) {
    live = LiveRows(path, log, withLog);
    plain = LiveRows(dir / "copy.db", dir / "no-such-wal", without);
  }
  std::printf("live rows with the log %ld (the library: %ld, %s); the same database checkpointed: %ld\n", live,
              expected, live == expected ? "equal" : "DIFFERENT", plain);
  std::printf("read with the log %.0f ms, the same rows without a log %.0f ms: %.2fx\n", withLog, without,
              withLog / without);
  const bool quality = LogRecoveryQuality(dir.path());
  return live == expected && quality ? 0 : 1;
}
