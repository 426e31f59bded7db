#include "tests/support/sqlite_fixture.h"

#include <sqlite3.h>

#include <stdexcept>

#include "tests/support/temp_dir.h"

#ifndef DUNMERE_SCHEMA_DIR
#error "DUNMERE_SCHEMA_DIR must name the folder of device schemas"
#endif

namespace dunmere::testing {
namespace fs = std::filesystem;

namespace {

void Run(sqlite3* db, const std::vector<std::string>& sql) {
  for (const std::string& statement : sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message != nullptr ? message : "unknown error";
      sqlite3_free(message);
      sqlite3_close(db);
      throw std::runtime_error("SQL failed: " + text + " in: " + statement.substr(0, 200));
    }
  }
}

sqlite3* Create(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
  fs::remove(path.string() + "-wal", ec);
  fs::remove(path.string() + "-shm", ec);
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot create " + path.string());
  }
  Run(db, {"PRAGMA secure_delete=OFF;", "PRAGMA journal_mode=DELETE;"});
  return db;
}

}  // namespace

void MakeSqliteDatabase(const fs::path& path, const std::vector<std::string>& sql) {
  sqlite3* db = Create(path);
  Run(db, sql);
  sqlite3_close(db);
}

void MakeSqliteDatabaseWithLog(const fs::path& path, const std::vector<std::string>& sql,
                               const std::vector<std::string>& inLog, const std::vector<std::string>& uncommitted) {
  sqlite3* db = Create(path);
  Run(db, sql);
  Run(db, {"PRAGMA journal_mode=WAL;", "PRAGMA wal_autocheckpoint=0;"});
  Run(db, inLog);
  if (!uncommitted.empty()) {
    // A small page cache spills the transaction's pages to the log before it commits.
    Run(db, {"PRAGMA cache_size=1;", "BEGIN;"});
    Run(db, uncommitted);
  }
  int set = 0;
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &set);
  sqlite3_close(db);
  std::error_code ec;
  fs::remove(path.string() + "-shm", ec);  // the index is the library's; a device backup has none
  if (!fs::exists(path.string() + "-wal")) throw std::runtime_error("no log left beside " + path.string());
}

std::string SqliteDatabaseBytes(const std::vector<std::string>& sql) {
  TempDir scratch;
  const fs::path file = scratch / "scratch.sqlite";
  MakeSqliteDatabase(file, sql);
  return ReadFile(file);
}

std::string ReferenceSchema(const std::string& fileName) {
  const fs::path path = fs::path(DUNMERE_SCHEMA_DIR) / fileName;
  if (!fs::is_regular_file(path)) throw std::runtime_error("no reference schema " + path.string());
  return ReadFile(path);
}

}  // namespace dunmere::testing
