#pragma once
// The recovery engine: any table of any SQLite file, by the columns its schema declares. Every live
// row, then every deleted row the searches find (freeblocks, unallocated gaps, cells left behind
// stale pointers, freed leaf, trunk and interior pages, overflow chains), each value as the file
// stores it. It knows the file format only: what a value means is the caller's business.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/table_schema.h"

namespace dunmere {

class SqliteFileReader;

struct AnyValue {
  enum class Kind { kNull, kInteger, kReal, kText, kBlob };
  Kind kind = Kind::kNull;
  std::int64_t integer = 0;
  double real = 0.0;
  std::string bytes;            // text or blob, as stored
  std::uint64_t serialType = 0; // the record's serial type of the value (0 for a lost first value)

  bool IsNull() const { return kind == Kind::kNull; }
  // A text or blob of no bytes counts as empty too.
  bool IsEmpty() const {
    return kind == Kind::kNull || ((kind == Kind::kText || kind == Kind::kBlob) && bytes.empty());
  }
};

struct AnyRow {
  std::uint8_t deleted = 0;
  bool hasRowId = false;  // live cells, and deleted cells whose key survived
  std::int64_t rowId = 0;
  // A deleted candidate that failed a plausibility check: listed only when asked for.
  bool doubtful = false;
  // Read from a page whose newest version is in the database's write-ahead log, or (deleted 2) from an
  // older version of a page that the log kept or replaced.
  bool fromLog = false;
  std::vector<AnyValue> values;  // one per declared column (a lost first column is null)
};

struct TableRequest {
  std::string table;
  // The columns of a table the schema does not describe (a damaged schema, or the freed pages of a
  // table whose name is not known): its records are measured by them.
  std::vector<DeclaredColumn> columnsWithoutSchema;
  bool freedPages = true;  // also the freelist's pages that held rows of the table's shape
  bool doubtful = false;   // also the deleted candidates the checks reject, marked doubtful
  // The columns whose values the rows carry (by declared index); empty: all. The others stay null,
  // which saves copying values nobody reads; the checks and repeats still look at every value.
  std::vector<bool> wanted;
};

// The columns the table's rows are read by: those its CREATE TABLE declares, or the request's when
// the schema does not describe the table. 87 when there are none; a read error's code.
Status TableColumns(SqliteFileReader& reader, const TableRequest& request, std::vector<DeclaredColumn>& columns);

// Hands every row of the table, read by columns, to sink as it is found: the live rows of its
// B-tree first, then the deleted ones. The row is the engine's buffer, valid during the call (the
// sink may move values out of it). A deleted row equal to a live row of the same row id (or to any
// live row, when its own row id is lost) is an old copy of it and is not handed on, and deleted rows
// are handed on once for each distinct row id where their cells kept one.
using AnyRowSink = std::function<void(AnyRow& row)>;
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
