#pragma once
// The rows the recovery engine hands out: every value as the file stores it, and what a caller asks of
// one table.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sqlite_recovery/table_schema.h"

namespace dunmere {

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
  // Deleted 2 only: an older version of a row that is live now under the same row id (of the versions
  // of one row id the log kept, only the newest that differs from the live row is handed on); or
  // remains that lost their row id and differ in one column from a version of a row whose id is known.
  bool olderVersion = false;
  // A deleted row that lost its row id, found among the live cells of a page whose cells lie in row id
  // order (each inserted in front of the one before): its row id lies strictly between these two
  // (0: no bound on that side, or none known).
  std::int64_t rowIdAbove = 0;
  std::int64_t rowIdBelow = 0;
  // Where such a row lies (its page, zero-based, and its offset there): of the deleted rows between
  // the same two live cells, the one further into the page was inserted before, with a lower row id.
  std::uint32_t boundsPage = 0;
  std::uint32_t boundsOffset = 0;
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

// What receives the rows: the row is the engine's buffer, valid during the call (the sink may move
// values out of it).
using AnyRowSink = std::function<void(AnyRow& row)>;

}  // namespace dunmere
