#pragma once
// Any table of any SQLite file, by the columns its schema declares: every live row, then every
// deleted row the same searches find, each value as the file stores it.
#include <cstdint>
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
  std::string bytes;  // text or blob
};

struct AnyRow {
  std::uint8_t deleted = 0;
  bool hasRowId = false;  // deleted candidates have none
  std::int64_t rowId = 0;
  std::vector<AnyValue> values;  // one per declared column (a lost first column is null)
};

// 87 when the file's schema has no table of that name. columns receives the declared columns.
Status DecodeAnyTable(SqliteFileReader& reader, std::string_view table, std::vector<DeclaredColumn>& columns,
                      std::vector<AnyRow>& out);

}  // namespace dunmere
