#include "sqlite_recovery/any_table_decoder.h"

#include <algorithm>

#include "sqlite_recovery/dropped_tables.h"
#include "sqlite_recovery/row_engine.h"
#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere {

Status TableColumns(SqliteFileReader& reader, const TableRequest& request, std::vector<DeclaredColumn>& columns) {
  std::string sql;
  Status found = FindTableSql(reader, request.table, sql);
  if (sql.empty()) {
    // A table dropped from the file, by the statement its freed schema row kept.
    ReadDroppedTables(reader);
    for (const DroppedTable& dropped : reader.droppedTables) {
      if (dropped.name == request.table) {
        sql = dropped.sql;
        found = kOk;
        break;
      }
    }
  }
  columns = ParseDeclaredColumns(sql);
  if (!columns.empty()) {
    // Kept for the file, as every lookup of the table's declared count keeps it.
    reader.schemaColumnCounts.emplace(request.table, static_cast<std::int32_t>(columns.size()));
    return kOk;
  }
  if (found != kOk && request.columnsWithoutSchema.empty()) return found;
  columns = request.columnsWithoutSchema;
  return columns.empty() ? kInvalidParameter : kOk;
}

Status DecodeTableRows(SqliteFileReader& reader, const TableRequest& request,
                       const std::vector<DeclaredColumn>& columns, const AnyRowSink& sink) {
  // Pages that held a dropped table's rows are that table's, whatever shape they share with this one.
  ReadDroppedTables(reader);
  return RunRowEngine(reader, request, columns, sink);
}

Status DecodeAnyTable(SqliteFileReader& reader, const TableRequest& request, std::vector<DeclaredColumn>& columns,
                      std::vector<AnyRow>& out) {
  if (const Status rc = TableColumns(reader, request, columns); rc != kOk) return rc;
  const std::size_t first = out.size();
  const Status rc = DecodeTableRows(reader, request, columns, [&out](AnyRow& row) { out.push_back(row); });
  std::stable_partition(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                        [](const AnyRow& r) { return r.deleted == 0; });
  return rc;
}

Status DecodeAnyTable(SqliteFileReader& reader, std::string_view table, std::vector<DeclaredColumn>& columns,
                      std::vector<AnyRow>& out) {
  TableRequest request;
  request.table = std::string(table);
  return DecodeAnyTable(reader, request, columns, out);
}

}  // namespace dunmere
