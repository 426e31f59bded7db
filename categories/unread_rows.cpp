#include "categories/unread_rows.h"

#include "backup/sqlite_readonly.h"
#include "sqlite_recovery/any_table_decoder.h"

namespace dunmere {
namespace {

int StoreCount(void* user, int columns, char** values, char**) {
  if (columns > 0 && values[0] != nullptr) *static_cast<long long*>(user) = std::atoll(values[0]);
  return 0;
}

// The live rows of the table as our reader reads them with the log; -1 when it has no such table.
long long LiveRows(SqliteFileReader& reader, const char* table) {
  TableRequest request;
  request.table = table;
  request.freedPages = false;
  std::vector<DeclaredColumn> columns;
  if (TableColumns(reader, request, columns) != kOk) return -1;
  long long rows = 0;
  DecodeTableRows(reader, request, columns, [&rows](AnyRow& row) { rows += row.deleted == 0 ? 1 : 0; });
  return rows;
}

}  // namespace

std::string UnreadRowsWarning(const DatabaseFile& db, std::initializer_list<const char*> tables) {
  SqliteFileReader reader;
  const bool withLog = reader.Open(db) == kOk && reader.logUsed;
  SqliteHandle handle;
  if (!withLog && OpenSqliteReadOnly(db.path, handle) != SQLITE_OK) return std::string();
  for (const char* table : tables) {
    long long rows = 0;
    const std::string count = std::string("select count(*) from \"") + table + "\";";
    if (withLog) {
      rows = LiveRows(reader, table);
    } else if (sqlite3_exec(handle.get(), count.c_str(), &StoreCount, &rows, nullptr) != SQLITE_OK) {
      continue;
    }
    if (rows <= 0) continue;
    return std::string("the table \"") + table + "\" holds " + std::to_string(rows) +
           (rows == 1 ? " row" : " rows") + ", none of which could be read or listed";
  }
  return std::string();
}

}  // namespace dunmere
