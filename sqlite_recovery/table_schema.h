#pragma once
// A table's own description from the schema: its CREATE TABLE statement and the columns it declares.
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dunmere {

class SqliteFileReader;

struct DeclaredColumn {
  std::string name;
  bool integerPrimaryKey = false;  // the row id's alias: stored as NULL, its value is the row id
  // REAL affinity: SQLite stores a whole number of such a column as an integer and reads it back as real.
  bool realAffinity = false;
  bool notNull = false;  // declared NOT NULL: no row of the table stores NULL there
};

// The CREATE TABLE statement of the table named exactly name; empty when the schema has none.
Status FindTableSql(SqliteFileReader& reader, std::string_view name, std::string& sql);

// Reads the column count the schema declares for table into the reader's schemaColumnCounts (0 when
// the schema has no such table), once per table and file.
void NoteDeclaredColumnCount(SqliteFileReader& reader, std::string_view table);

// The columns a CREATE TABLE statement declares, in order (table constraints left out). Empty when
// the text is no CREATE TABLE statement with a column list.
std::vector<DeclaredColumn> ParseDeclaredColumns(std::string_view sql);

}  // namespace dunmere
