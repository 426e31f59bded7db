#pragma once
// Tables dropped from a file. DROP TABLE frees the table's schema row and every page of its tree; with
// nothing written over them, the row stays in the schema's freed space (found by the recovery
// engine's searches of the schema table) and the pages keep their rows. A dropped table can then be
// read by its old name, and its freed pages are given to it rather than to a live table of the same
// shape.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/status.h"

namespace dunmere {

class SqliteFileReader;

// Reads, once per opened file, the dropped tables into reader.droppedTables (a deleted schema row of
// type table, with a root page and a CREATE TABLE statement, that no live row names with that root;
// a statement whose end was written over keeps the columns before the damage)
// and the freed pages their trees held into reader.droppedTablePages (the root and every page below
// it that is on the freelist, trunks too, each given to the first table that reaches it).
void ReadDroppedTables(SqliteFileReader& reader);

struct TableEntry {
  std::string name;
  std::uint32_t rootPage = 0;  // one-based
  bool dropped = false;
};

// The file's tables: the live ones in schema order, then the dropped ones. A read error's code; the
// tables read before it stay in out.
Status ListTables(SqliteFileReader& reader, std::vector<TableEntry>& out);

}  // namespace dunmere
