// Times the page reader on a messages database of realistic size (iOS 6 schema, 38 columns), with a
// share of its rows deleted, against the SQLite library reading the same table:
//   - the live walk with record gathering and decoding, against SELECT * stepping every column;
//   - the deleted-candidate walk with decoding, and the freed-page step, in MB/s of file;
//   - the whole recovery pass of one table, in MB/s;
//   - the peak resident memory of the process.
//
//   bench_recovery [ROWS]    (default 600000, about 230 MB)
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "categories/table_decoders.h"
#include "sqlite_recovery/any_table_decoder.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_run.h"
#include "sqlite_recovery/table_schema.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace dunmere;

double BestMs(int runs, const std::function<void()>& body) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    body();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

std::string FillMessages(int rows) {
  return "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + std::to_string(rows) +
         ") INSERT INTO message (ROWID, guid, text, handle_id, service, account, date, date_read, is_from_me, "
         "is_read, is_sent) SELECT x, printf('%08X-0000-4000-8000-%012X', x, x * 7919), "
         "'Message ' || x || ': ' || substr(hex(randomblob(160)), 1, 100 + (x * 37) % 200), x % 300, "
         "'iMessage', 'e:someone@example.com', 400000000 + x * 60, 400000000 + x * 60 + 30, x % 2, 1, x % 2 FROM c;";
}

// Counts every value so that nothing is optimised away.
class CountingDecoder : public RowDecoder {
 public:
  void DecodeLive(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t offset,
                  RowState state) override {
    if (GatherLiveRecord(reader, page, offset, record_) != kOk) return;
    if (DecodeLiveRecord(record_.data, record_.size, values_) != kOk) return;
    (state == RowState::kNormal ? live : deleted) += 1;
    bytes += values_.size();
  }
  void DecodeDeleted(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t, std::uint16_t offset,
                     RowState) override {
    if (DecodeCandidate(page, reader.pageSize, offset, reader.currentColumnCount, values_) != kOk) return;
    ++deleted;
    bytes += values_.size();
  }
  std::size_t live = 0;
  std::size_t deleted = 0;
  std::size_t bytes = 0;

 private:
  LiveRecord record_;
  std::vector<ColumnValue> values_;
};

// The live part of a table run: every leaf's cells gathered and decoded.
std::size_t LiveWalk(SqliteFileReader& reader, std::uint32_t root) {
  CountingDecoder decoder;
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  reader.ReadPage(root, page.data());
  PageCellMap cells;
  reader.CollectLiveCells(root, page.data(), cells);
  for (const auto& [index, offsets] : cells) {
    reader.ReadPage(index, page.data());
    for (const std::uint16_t offset : offsets) decoder.DecodeLive(reader, page.data(), index, offset, RowState::kNormal);
  }
  return decoder.live;
}

std::size_t DeletedWalk(SqliteFileReader& reader, std::uint32_t root) {
  CountingDecoder decoder;
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  reader.ReadPage(root, page.data());
  PageCellMap candidates;
  reader.CollectDeletedCandidates(root, page.data(), candidates);
  for (const auto& [index, offsets] : candidates) {
    reader.ReadPage(index, page.data());
    for (const std::uint16_t offset : offsets) decoder.DecodeDeleted(reader, page.data(), index, offset, RowState::kDeleted);
  }
  return decoder.deleted;
}

std::size_t SelectAll(const fs::path& db) {
  sqlite3* h = nullptr;
  sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(h, "SELECT * FROM message;", -1, &stmt, nullptr);
  std::size_t rows = 0;
  std::size_t bytes = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const int columns = sqlite3_column_count(stmt);
    for (int c = 0; c < columns; ++c) {
      if (sqlite3_column_type(stmt, c) == SQLITE_TEXT) sqlite3_column_text(stmt, c);
      bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
    }
    ++rows;
  }
  sqlite3_finalize(stmt);
  sqlite3_close(h);
  if (bytes == 0) std::printf("(no values read)\n");
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 600000;
  dunmere::testing::TempDir dir;
  const fs::path db = dir / "sms.db";
  std::printf("building %d messages ...\n", rows);
  dunmere::testing::MakeSqliteDatabase(
      db, {"PRAGMA page_size=4096; PRAGMA auto_vacuum=0;", dunmere::testing::ReferenceSchema("sms_ios6.1.6.sql"),
           FillMessages(rows),
           // Scattered single deletions and a few whole conversations' worth of ranges.
           "DELETE FROM message WHERE ROWID % 23 = 0;",
           "DELETE FROM message WHERE ROWID BETWEEN " + std::to_string(rows / 3) + " AND " +
               std::to_string(rows / 3 + rows / 20) + ";"});
  const double megabytes = static_cast<double>(fs::file_size(db)) / 1e6;

  SqliteFileReader reader;
  if (reader.Open(db) != kOk) return 1;
  ChildPageMap roots;
  reader.FindTableRoots("message", roots);
  reader.currentTableName = "message";
  NoteDeclaredColumnCount(reader, "message");
  reader.currentColumnCount = reader.schemaColumnCounts["message"];
  reader.thoroughSearch = true;  // as the engine searches
  const std::uint32_t root = roots.begin()->first;
  std::printf("database: %.1f MB, %zu freelist leaves, %zu trunks\n", megabytes, reader.freelistLeafPages.size(),
              reader.freelistTrunkPages.size());

  std::size_t live = 0;
  const double liveMs = BestMs(3, [&] { live = LiveWalk(reader, root); });
  std::size_t selected = 0;
  const double selectMs = BestMs(5, [&] { selected = SelectAll(db); });
  std::printf("live walk + gather + decode: %zu rows in %.0f ms; SQLite SELECT *: %zu rows in %.0f ms; "
              "ratio (ours / SQLite) %.2f\n",
              live, liveMs, selected, selectMs, liveMs / selectMs);

  std::size_t candidates = 0;
  const double deletedMs = BestMs(3, [&] { candidates = DeletedWalk(reader, root); });
  std::printf("deleted-candidate walk + decode: %zu candidates in %.0f ms, %.0f MB/s\n", candidates, deletedMs,
              megabytes / (deletedMs / 1000));

  CountingDecoder freed;
  const double freedMs = BestMs(3, [&] { freed = CountingDecoder(); RecoverFreedPages(reader, freed); });
  std::printf("freed-page step: %zu rows in %.0f ms, %.0f MB/s of file\n", freed.deleted, freedMs,
              megabytes / (freedMs / 1000));

  CountingDecoder whole;
  const double wholeMs = BestMs(3, [&] { whole = CountingDecoder(); RunTableDecoder(reader, "message", whole); });
  std::printf("whole recovery pass (live, deleted, freed): %zu live, %zu deleted in %.0f ms, %.0f MB/s\n", whole.live,
              whole.deleted, wholeMs, megabytes / (wholeMs / 1000));

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory of the passes: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024);

  // The engine as every table uses it: rows of values, checks and repeats, handed on one by one;
  // then the category's records.
  std::size_t engineLive = 0, engineDeleted = 0;
  const double engineMs = BestMs(3, [&] {
    engineLive = engineDeleted = 0;
    TableRequest request;
    request.table = "message";
    std::vector<DeclaredColumn> columns;
    TableColumns(reader, request, columns);
    DecodeTableRows(reader, request, columns, [&](AnyRow& row) { ++(row.deleted == 0 ? engineLive : engineDeleted); });
  });
  std::printf("engine (rows of values): %zu live, %zu deleted in %.0f ms, %.0f MB/s\n", engineLive, engineDeleted,
              engineMs, megabytes / (engineMs / 1000));
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory after the engine: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024);
  std::size_t records = 0, deletedRecords = 0;
  const double recordsMs = BestMs(5, [&] {
    std::vector<MessageRecord> out;
    DecodeMessages(reader, out);
    records = out.size();
    deletedRecords = static_cast<std::size_t>(
        std::count_if(out.begin(), out.end(), [](const MessageRecord& m) { return m.deleted != 0; }));
  });
  std::printf("message records (engine, field map and rules): %zu, %zu deleted, in %.0f ms, %.0f MB/s; "
              "ratio to SQLite stepping every column %.2f\n",
              records, deletedRecords, recordsMs, megabytes / (recordsMs / 1000), recordsMs / selectMs);
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory with the 600,000 records: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024);
  return 0;
}
