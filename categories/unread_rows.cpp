#include "categories/unread_rows.h"

#include "backup/sqlite_readonly.h"

namespace dunmere {
namespace {

int StoreCount(void* user, int columns, char** values, char**) {
  if (columns > 0 && values[0] != nullptr) *static_cast<long long*>(user) = std::atoll(values[0]);
  return 0;
}

}  // namespace

std::string UnreadRowsWarning(const std::filesystem::path& db, std::initializer_list<const char*> tables) {
  SqliteHandle handle;
  if (OpenSqliteReadOnly(db, handle) != SQLITE_OK) return std::string();
  for (const char* table : tables) {
    long long rows = 0;
    const std::string count = std::string("select count(*) from \"") + table + "\";";
    if (sqlite3_exec(handle.get(), count.c_str(), &StoreCount, &rows, nullptr) != SQLITE_OK || rows <= 0) continue;
    return std::string("the table \"") + table + "\" holds " + std::to_string(rows) +
           (rows == 1 ? " row" : " rows") + ", none of which could be read or listed";
  }
  return std::string();
}

}  // namespace dunmere
