#include "categories/table_probe.h"

#include "backup/sqlite_readonly.h"

namespace dunmere {
namespace {

int CountRows(void* user, int, char**, char**) {
  ++*static_cast<int*>(user);
  return 0;
}

int StoreColumnCount(void* user, int columns, char**, char**) {
  *static_cast<int*>(user) = columns;
  return 0;
}

}  // namespace

TableProbe ProbeTable(const std::filesystem::path& db, const std::string& table) {
  TableProbe probe;
  SqliteHandle handle;
  probe.openResult = OpenSqliteReadOnly(db, handle);
  if (probe.openResult != SQLITE_OK) return probe;
  // One row tells the column count as well as all of them would.
  char* message = nullptr;
  const std::string select = "select * from \"" + table + "\" limit 1;";
  sqlite3_exec(handle.get(), select.c_str(), &StoreColumnCount, &probe.rowColumns, &message);
  probe.queryable = message == nullptr;
  sqlite3_free(message);
  const std::string info = "PRAGMA table_info(\"" + table + "\");";
  sqlite3_exec(handle.get(), info.c_str(), &CountRows, &probe.declaredColumns, nullptr);
  return probe;
}

}  // namespace dunmere
