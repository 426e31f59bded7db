#include "tests/support/sqlite_fixture.h"

#include <sqlite3.h>

#include <stdexcept>

#include "tests/support/temp_dir.h"

#ifndef DUNMERE_SCHEMA_DIR
#error "DUNMERE_SCHEMA_DIR must name the folder of device schemas"
#endif

namespace dunmere::testing {
namespace fs = std::filesystem;

void MakeSqliteDatabase(const fs::path& path, const std::vector<std::string>& sql) {
  std::error_code ec;
  fs::remove(path, ec);
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot create " + path.string());
  }
  std::vector<std::string> all{"PRAGMA secure_delete=OFF;", "PRAGMA journal_mode=DELETE;"};
  all.insert(all.end(), sql.begin(), sql.end());
  for (const std::string& statement : all) {
    char* message = nullptr;
    if (sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message != nullptr ? message : "unknown error";
      sqlite3_free(message);
      sqlite3_close(db);
      throw std::runtime_error("SQL failed: " + text + " in: " + statement.substr(0, 200));
    }
  }
  sqlite3_close(db);
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
