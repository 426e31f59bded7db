#pragma once
// The recovery engine's entry: any table of any SQLite file, live or dropped, by the columns its
// schema declares (see row_engine.h for what is read). It knows the file format only: what a value
// means is the caller's business.
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/any_row.h"
#include "sqlite_recovery/table_schema.h"

namespace dunmere {

class SqliteFileReader;

// The columns the table's rows are read by: those its CREATE TABLE declares (a dropped table's, by the
// statement its freed schema row kept), or the request's when the schema does not describe the
// table. 87 when there are none; a read error's code.
Status TableColumns(SqliteFileReader& reader, const TableRequest& request, std::vector<DeclaredColumn>& columns);

// Hands every row of the table, read by columns, to sink as it is found: the live rows of its
// B-tree first, then the deleted ones (RunRowEngine), once the file's dropped tables are known (their
// freed pages are theirs alone).
Status DecodeTableRows(SqliteFileReader& reader, const TableRequest& request,
                       const std::vector<DeclaredColumn>& columns, const AnyRowSink& sink);

// Both steps, the rows collected: live rows first. 87 when the file's schema has no table of that
// name and the request gives no columns for it.
Status DecodeAnyTable(SqliteFileReader& reader, const TableRequest& request, std::vector<DeclaredColumn>& columns,
                      std::vector<AnyRow>& out);

// The same for a table of the schema, with its freed pages and without doubtful rows.
Status DecodeAnyTable(SqliteFileReader& reader, std::string_view table, std::vector<DeclaredColumn>& columns,
                      std::vector<AnyRow>& out);

}  // namespace dunmere
