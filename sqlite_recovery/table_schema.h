#pragma once
// A table's own description from the schema: its CREATE TABLE statement and the columns it declares.
#include <cstdint>
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
  bool textAffinity = false;  // declared CHAR, CLOB or TEXT (and no INT)
  bool notNull = false;  // declared NOT NULL: no row of the table stores NULL there
  // Where a record of the table holds the column: its declared position, or in a table WITHOUT ROWID
  // (whose records are the keys of an index B-tree) after the primary key's columns, which come first.
  std::int32_t stored = -1;
};

// Whether a CREATE TABLE statement makes a table WITHOUT ROWID.
bool IsWithoutRowid(std::string_view sql);

// What a schema row's statement makes: a table (TEMP ones too), a virtual table, or something else.
enum class StatementKind { kTable, kVirtualTable, kOther };
StatementKind KindOfStatement(std::string_view sql);

// The CREATE TABLE statement of the table named exactly name; empty when the schema has none. root,
// when given, gets the table's root page (one-based; 0 when unknown).
Status FindTableSql(SqliteFileReader& reader, std::string_view name, std::string& sql, std::uint32_t* root = nullptr);

// Reads the column count the schema declares for table into the reader's schemaColumnCounts (0 when
// the schema has no such table), once per table and file.
void NoteDeclaredColumnCount(SqliteFileReader& reader, std::string_view table);

// The columns a CREATE TABLE statement declares, in order (table constraints left out). Empty when
// the text is no CREATE TABLE statement with a column list.
std::vector<DeclaredColumn> ParseDeclaredColumns(std::string_view sql);

}  // namespace dunmere
