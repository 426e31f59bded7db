#include "categories/recently_deleted.h"

#include <algorithm>
#include <vector>

#include "platform/text_compare.h"
#include "sqlite_recovery/any_table_decoder.h"

namespace dunmere {

std::unordered_set<std::int64_t> RecentlyDeletedMessageIds(SqliteFileReader& messagesReader) {
  std::unordered_set<std::int64_t> ids;
  std::vector<DeclaredColumn> columns;
  std::vector<AnyRow> rows;
  if (DecodeAnyTable(messagesReader, "chat_recoverable_message_join", columns, rows) != kOk) return ids;
  const auto column = std::find_if(columns.begin(), columns.end(),
                                   [](const DeclaredColumn& c) { return CompareNoCase(c.name, "message_id") == 0; });
  if (column == columns.end()) return ids;
  const auto index = static_cast<std::size_t>(column - columns.begin());
  // A deleted join row is a message restored or removed for good: only live rows count.
  for (const AnyRow& row : rows) {
    if (row.deleted == 0 && index < row.values.size() && row.values[index].kind == AnyValue::Kind::kInteger) {
      ids.insert(row.values[index].integer);
    }
  }
  return ids;
}

}  // namespace dunmere
