#pragma once
// Asking the SQLite library about a table of a database file (read-only and immutable, so nothing is
// ever written beside the file).
#include <filesystem>
#include <string>

#include "platform/status.h"

namespace dunmere {

struct TableProbe {
  Status openResult = 0;   // the library's code for opening the file
  bool queryable = false;  // "select * from TABLE" ran without an error
  int rowColumns = 0;      // columns of the table's rows as the library returns them; 0 with no row
  int declaredColumns = 0; // columns the table declares
};

TableProbe ProbeTable(const std::filesystem::path& db, const std::string& table);

}  // namespace dunmere
