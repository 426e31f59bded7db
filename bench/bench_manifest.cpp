// Times the two manifest readers on manifests of realistic size and compares each with a reference
// run on the same file: the SQLite library stepping through the same query in this process, and the
// sqlite3 command-line shell printing it.
//
//   bench_manifest [MBDB_RECORDS] [MANIFEST_DB_ROWS]    (defaults 200000 and 300000)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "backup/manifest_reader.h"
#include "backup/sqlite_readonly.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Median wall time of several runs, in milliseconds.
double MedianMs(int runs, const std::function<void()>& body) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    body();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::vector<dunmere::testing::MbdbRecord> MbdbRecords(int count) {
  std::vector<dunmere::testing::MbdbRecord> records;
  records.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    dunmere::testing::MbdbRecord r;
    r.domain = "AppDomain-com.example.app" + std::to_string(i % 500);
    r.relativePath = "Documents/folder" + std::to_string(i % 97) + "/file" + std::to_string(i) + ".dat";
    r.dataHash = std::string(20, static_cast<char>(i));
    r.mode = (i % 20 == 0) ? dunmere::testing::kModeFolder : dunmere::testing::kModeFile;
    r.size = static_cast<std::uint64_t>(i) * 17;
    if (i % 4 == 0) r.properties = {{"com.apple.assetsd.UUID", "0123456789ABCDEF"}};
    records.push_back(std::move(r));
  }
  return records;
}

std::string ManifestDbSql(int rows) {
  return "INSERT INTO Files SELECT lower(hex(randomblob(20))), 'AppDomain-com.example.app' || (x % 500), "
         "'Documents/folder' || (x % 97) || '/file' || x || '.dat', 1, randomblob(400) FROM "
         "(WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
         std::to_string(rows) + ") SELECT x FROM c);";
}

struct StepResult {
  std::size_t rows = 0;
  std::size_t textBytes = 0;  // read so that the library converts every value, as the callback does
};

StepResult StepAllRows(const fs::path& db) {
  dunmere::SqliteHandle handle;
  dunmere::OpenSqliteReadOnly(db, handle);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(handle.get(), "select fileID,domain, relativePath from Files;", -1, &stmt, nullptr);
  StepResult result;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < 3; ++c) {
      sqlite3_column_text(stmt, c);
      result.textBytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
    }
    ++result.rows;
  }
  sqlite3_finalize(stmt);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const int mbdbRecords = argc > 1 ? std::atoi(argv[1]) : 200000;
  const int dbRows = argc > 2 ? std::atoi(argv[2]) : 300000;
  dunmere::testing::TempDir dir;
  const int runs = 5;

  const fs::path mbdb = dir / "Manifest.mbdb";
  dunmere::testing::WriteFile(mbdb, dunmere::testing::MbdbBytes(MbdbRecords(mbdbRecords)));
  std::vector<dunmere::ManifestEntry> entries;
  const double mbdbMs = MedianMs(runs, [&] { dunmere::ReadManifestMbdb(mbdb, entries); });
  std::printf("Manifest.mbdb: %d records (%.1f MiB), %zu entries with SHA-1 IDs: %.1f ms (median of %d)\n",
              mbdbRecords, fs::file_size(mbdb) / 1048576.0, entries.size(), mbdbMs, runs);

  const fs::path db = dir / "Manifest.db";
  dunmere::testing::MakeSqliteDatabase(
      db, {"CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);",
           "CREATE INDEX FilesDomainIdx ON Files(domain);", ManifestDbSql(dbRows)});
  const double dbMs = MedianMs(runs, [&] { dunmere::ReadManifestDatabase(db, entries); });
  std::printf("Manifest.db: %d rows (%.1f MiB), %zu entries: %.1f ms (median of %d)\n", dbRows,
              fs::file_size(db) / 1048576.0, entries.size(), dbMs, runs);

  StepResult stepped;
  const double stepMs = MedianMs(runs, [&] { stepped = StepAllRows(db); });
  std::printf("  reference, SQLite library stepping the same query: %zu rows, %.1f MiB of text, %.1f ms (ratio %.2f)\n",
              stepped.rows, stepped.textBytes / 1048576.0, stepMs, dbMs / stepMs);

  if (std::system("command -v sqlite3 >/dev/null 2>&1") == 0) {
    const std::string shell = "sqlite3 -readonly '" + db.string() +
                              "' 'select fileID,domain, relativePath from Files;' > /dev/null";
    const double shellMs = MedianMs(runs, [&] {
      if (std::system(shell.c_str()) != 0) std::fprintf(stderr, "sqlite3 shell failed\n");
    });
    std::printf("  reference, sqlite3 shell printing the same query: %.1f ms (ratio %.2f)\n", shellMs,
                dbMs / shellMs);
  } else {
    std::printf("  (sqlite3 shell not installed: no shell reference)\n");
  }
  return 0;
}
