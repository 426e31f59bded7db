// Which value a decoder reads where: the columns it names, found in the table's own schema.
#include <cctype>

#include "platform/text_compare.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/table_decoder.h"
#include "sqlite_recovery/table_schema.h"

namespace dunmere {
namespace {

bool SameNoCase(std::string_view a, std::string_view b) { return CompareNoCase(a, b) == 0; }

}  // namespace

std::vector<std::pair<std::uint32_t, std::uint32_t>> ColumnMoves(SqliteFileReader& reader, std::string_view table,
                                                                 const std::vector<NamedColumn>& named) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> moves;
  std::string sql;
  if (FindTableSql(reader, table, sql) != kOk || sql.empty()) return moves;
  const std::vector<DeclaredColumn> columns = ParseDeclaredColumns(sql);
  // A name "*X" stands for a column of a full-text table, "c<number>X", whatever its number.
  const auto matches = [](const std::string& declared, std::string_view wanted) {
    if (wanted.empty() || wanted.front() != '*') return SameNoCase(declared, wanted);
    std::size_t at = 0;
    if (at < declared.size() && (declared[at] == 'c' || declared[at] == 'C')) ++at;
    const std::size_t digits = at;
    while (at < declared.size() && std::isdigit(static_cast<unsigned char>(declared[at])) != 0) ++at;
    return at > digits && SameNoCase(std::string_view(declared).substr(at), wanted.substr(1));
  };
  for (const NamedColumn& n : named) {
    for (std::uint32_t i = 0; i < columns.size(); ++i) {
      if (matches(columns[i].name, n.name)) {
        if (i != n.position) moves.emplace_back(n.position, i);
        break;
      }
    }
  }
  return moves;
}

void ApplyColumnMoves(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& moves, DecodedRow& row) {
  if (row.columns.empty()) return;
  const DecodedRow original = row;
  const std::uint32_t first = row.columns.front().column;
  for (const auto& [position, index] : moves) {
    if (position < first) continue;  // the lost first column
    const std::uint32_t slot = position - first;
    while (row.columns.size() <= slot) {
      ColumnValue empty;  // NULL
      empty.column = first + static_cast<std::uint32_t>(row.columns.size());
      row.columns.push_back(empty);
    }
    const ColumnValue* value = original.At(index);
    ColumnValue moved = value != nullptr ? *value : ColumnValue{};  // NULL where the row has none
    moved.column = position;
    row.columns[slot] = moved;
  }
}

}  // namespace dunmere
