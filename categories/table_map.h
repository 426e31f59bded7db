#pragma once
// What the categories know of a device table: which columns hold the fields they read and the rule
// each field's value follows. The recovery engine gives every live and deleted row of the table; a
// table map picks the fields out of them by name and keeps a deleted row only when every field
// passes its rule, so that remains read from the wrong bytes never reach a screen or an export.
// Live rows are never dropped.
#include <cstdint>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/any_table_decoder.h"

namespace dunmere {

class SqliteFileReader;

// Seconds from 1970-01-01 to 2001-01-01, where Apple dates count from.
inline constexpr std::int64_t kAppleEpochOffset = 978307200;
// 2007-06-29, the day the first phone was sold: no record of its databases is older (an update of the
// system carries older records into a newer table layout with their dates, so this holds for every
// layout).
inline constexpr std::int64_t kFirstDeviceDate = 1183075200;

enum class FieldRule : std::uint8_t {
  kText,        // a text: valid UTF-8 without control characters other than tab and line ends
  kTextOrBlob,  // the same, stored as a text or a blob
  kPhones,      // a text of phone numbers: digits and the signs and separators numbers are written with
  kEmails,      // a text of e-mail addresses, separated by white space: each with an at-sign
  kBlob,        // anything (an archive, a property list)
  kAppleDate,   // seconds (integer or real) or nanoseconds since 2001-01-01, inside the table's dates
  kUnixDate,    // seconds since 1970-01-01, inside the table's dates
  kFlag,        // 0 or 1
  kNumber,      // an integer or a real, 0 or more
  kRowRef,      // a row id of refTable, inside the range its live rows and its key counters allow
};

struct FieldSpec {
  const char* column;         // declared name; "*X" stands for a full-text column "c<number>X"
  FieldRule rule;
  bool required = false;      // a deleted row with no value here is no row of the table
  const char* refTable = nullptr;  // for kRowRef
  std::int32_t position = -1;  // where the field is when the schema has no column of that name
};

struct TableMap {
  std::string table;
  std::vector<FieldSpec> fields;
  // The column count of the table's earliest layout, for a table the schema does not describe, and
  // whether its first column is the row id's alias there.
  std::int32_t columnsWithoutSchema = 0;
  bool aliasFirst = false;
  bool freedPages = true;
  // The first day (Unix seconds) a record of the table can carry: when the first software that wrote
  // such records came out. Dates are also no later than the file's latest date (a day after the backup).
  std::int64_t firstDate = kFirstDeviceDate;
};

// The values one file's records may hold. Row ids: the highest each table may hold, by the key
// counters the file keeps (sqlite_sequence, and Core Data's Z_PRIMARYKEY), or else the highest in its
// B-tree with a margin for rows deleted above it. Dates: from 2001 (or a table's first day) up to
// 2040, or to the file's latest date when the reader knows it.
class IdLimits {
 public:
  explicit IdLimits(SqliteFileReader& reader);
  // Whether id can be a row id of the table: 0 (no row) up to its limit; any id up to 2^31 - 1
  // when the file has no such table.
  bool Allows(const std::string& table, std::int64_t id) const;
  // Dates from first (Unix seconds) on, when that is later than 2001.
  void StartDatesAt(std::int64_t first) { firstDate_ = std::max(firstDate_, first); }
  // Whether a date (Unix seconds) lies inside the limits.
  bool AllowsDate(double unixSeconds) const { return unixSeconds >= firstDate_ && unixSeconds < endDate_; }

 private:
  void Note(const std::string& table, std::int64_t rowid) const;
  SqliteFileReader& reader_;
  std::int64_t firstDate_;
  std::int64_t endDate_;
  mutable std::map<std::string, std::int64_t> counters_;  // by upper-cased table name
  mutable std::map<std::string, std::int64_t> highest_;   // counters and B-trees, once asked
};

// One row with its fields in the order of the map (a null value where the table has no such column).
struct MappedRow {
  std::uint8_t deleted = 0;
  bool hasRowId = false;
  std::int64_t rowId = 0;
  bool doubtful = false;  // a deleted row that broke a field's rule (listed only when asked for)
  std::int64_t rowIdAbove = 0;  // where a deleted row lost its row id: the bounds around it (AnyRow)
  std::int64_t rowIdBelow = 0;
  std::uint32_t boundsPage = 0;  // and where it lies (AnyRow)
  std::uint32_t boundsOffset = 0;
  std::vector<AnyValue> fields;
  std::vector<AnyValue> values;  // every column, when asked for
};

// Every live row and every plausible deleted row of the map's table; with doubtful set the deleted
// rows that broke a rule too, marked. A table the file does not have gives no rows and 0. With
// allValues each row keeps all its columns' values as well.
Status DecodeMappedTable(SqliteFileReader& reader, const TableMap& map, bool doubtful, std::vector<MappedRow>& out,
                         bool allValues = false);

// The same, each row handed to sink as it is found (the row is a buffer, valid during the call).
using MappedRowSink = std::function<void(MappedRow& row)>;
Status DecodeMappedRows(SqliteFileReader& reader, const TableMap& map, bool doubtful, bool allValues,
                        const MappedRowSink& sink);

// Whether a value passes the rule of its field.
bool FieldPasses(const FieldSpec& field, const AnyValue& value, const IdLimits& limits);

// --- Reading fields ------------------------------------------------------------------------------
// The text of a text (or, with blobs set, a blob) value as UTF-8, ill-formed bytes shown as U+FFFD;
// empty for anything else.
std::string FieldText(const AnyValue& value, bool blobs = false);
// An integer value (a real truncated); 0 for anything else.
std::int64_t FieldInteger(const AnyValue& value);
// A flag: whether the stored value is not 0.
bool FieldFlag(const AnyValue& value);
// Dates as local "%04d-%02d-%02d %02d:%02d:%02d" text; empty for a value that is none.
std::string FieldAppleDate(const AnyValue& value);
std::string FieldUnixDate(const AnyValue& value);

std::string UnixDateText(std::int64_t unixSeconds);
std::string AppleSecondsDateText(std::int64_t appleSeconds);

// Valid UTF-8 with no U+FFFD and no NUL.
bool IsCleanText(std::string_view text);

}  // namespace dunmere
