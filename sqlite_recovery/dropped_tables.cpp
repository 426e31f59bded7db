#include "sqlite_recovery/dropped_tables.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>

#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/row_engine.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_schema.h"

namespace dunmere {
namespace {

struct SchemaRow {
  bool deleted = false;
  std::string type, name, sql;
  std::int64_t root = 0;
};

std::string Text(const AnyValue& v) { return v.kind == AnyValue::Kind::kText ? v.bytes : std::string(); }

// Every row of the schema table, live and deleted: from its pages, the freed pages of its shape (a
// schema that shrank as tables were dropped leaves their rows there) and the log's older versions.
Status ReadSchemaRows(SqliteFileReader& reader, std::vector<SchemaRow>& out) {
  TableRequest request;
  request.table = std::string(kSchemaTable);
  request.freedPages = true;
  const std::vector<DeclaredColumn> columns = ParseDeclaredColumns(kSchemaTableSql);
  return RunRowEngine(reader, request, columns, [&out](AnyRow& row) {
    if (row.values.size() < 5) return;
    SchemaRow r;
    r.deleted = row.deleted != 0;
    r.type = Text(row.values[0]);
    r.name = Text(row.values[1]);
    r.sql = Text(row.values[4]);
    if (row.values[3].kind == AnyValue::Kind::kInteger) r.root = row.values[3].integer;
    out.push_back(std::move(r));
  });
}

// Gives the freed pages of the tree under index to the table, as far as they are on the freelist. A
// page that became a freelist trunk keeps only the end of what the table had there, and no children.
void MarkTree(SqliteFileReader& reader, std::uint32_t index, const std::string& table, std::vector<std::uint8_t>& page,
              int depth) {
  if (depth > kMaxBtreeDepth || reader.droppedTablePages.count(index) != 0) return;
  if (depth > 0 && reader.IsFreelistTrunk(index)) {
    reader.droppedTablePages.emplace(index, table);
    return;
  }
  if (!reader.IsFreelistLeaf(index) || reader.ReadPage(index, page.data()) != kOk) return;
  const PageView view{page.data(), reader.pageSize, BtreeHeaderOffset(index)};
  if (view.Kind() != kLeafTablePage && view.Kind() != kInteriorTablePage) return;
  reader.droppedTablePages.emplace(index, table);
  if (view.Kind() != kInteriorTablePage) return;
  ChildPageMap children;
  InteriorChildren(view, children);
  for (const auto& [child, key] : children) {
    (void)key;
    MarkTree(reader, child, table, page, depth + 1);
  }
}

// The statement with what was written over its end cut off (at the first control character) and its
// column list closed, when that makes a CREATE TABLE statement the whole one was not: the columns up to
// the damage are kept (the last one's declared type may be lost).
std::string RepairedStatement(const std::string& sql) {
  if (!ParseDeclaredColumns(sql).empty()) return sql;
  const auto damage = std::find_if(sql.begin(), sql.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
  });
  if (damage == sql.end() || sql.find('(') == std::string::npos) return sql;
  return std::string(sql.begin(), damage) + ")";
}

}  // namespace

void ReadDroppedTables(SqliteFileReader& reader) {
  if (reader.droppedTablesRead) return;
  reader.droppedTablesRead = true;
  std::vector<SchemaRow> rows;
  ReadSchemaRows(reader, rows);
  std::set<std::pair<std::string, std::int64_t>> live, seen;
  for (const SchemaRow& r : rows) {
    if (!r.deleted && r.type == "table") live.emplace(r.name, r.root);
  }
  for (SchemaRow& r : rows) {
    if (r.deleted) r.sql = RepairedStatement(r.sql);
    // A lost first value is the type's: the statement tells a table's row.
    if (!r.deleted || (r.type != "table" && !r.type.empty()) || r.name.empty() || r.name.rfind("sqlite_", 0) == 0) {
      continue;
    }
    if (r.root <= 0 || r.root > static_cast<std::int64_t>(reader.pageCount) || KindOfStatement(r.sql) != StatementKind::kTable ||
        ParseDeclaredColumns(r.sql).empty()) {
      continue;
    }
    // A table's older schema row (a column added since) names its live root: no table was dropped.
    if (live.count({r.name, r.root}) != 0 || !seen.emplace(r.name, r.root).second) continue;
    reader.droppedTables.push_back(DroppedTable{r.name, static_cast<std::uint32_t>(r.root), r.sql});
  }
  std::vector<std::uint8_t> page = reader.NewPageBuffer();
  for (const DroppedTable& table : reader.droppedTables) MarkTree(reader, table.root - 1, table.name, page, 0);
}

Status ListTables(SqliteFileReader& reader, std::vector<TableEntry>& out) {
  std::vector<SchemaRow> rows;
  const Status rc = ReadSchemaRows(reader, rows);
  for (const SchemaRow& r : rows) {
    if (!r.deleted && r.type == "table" && r.root > 0) {
      out.push_back(TableEntry{r.name, static_cast<std::uint32_t>(r.root), false});
    }
  }
  ReadDroppedTables(reader);
  for (const DroppedTable& t : reader.droppedTables) out.push_back(TableEntry{t.name, t.root, true});
  return rc;
}

}  // namespace dunmere
