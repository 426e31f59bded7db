#pragma once
// Why a category gave no records although its database is there: the tables it reads still hold
// rows that none could be read or listed.
#include <initializer_list>
#include <string>

#include "sqlite_recovery/sqlite_file_reader.h"

namespace dunmere {

// "the table "message" holds 4 rows, none of which could be read or listed" for the first of tables
// that holds rows; empty when none does, or when the file cannot be read. The rows are counted by the
// SQLite library (a check apart from our reader), or, for a database whose write-ahead log holds
// committed changes (which the library, opening the backup's file immutable, would not apply), by our
// reader, which reads the live rows exactly as the library does with the log.
std::string UnreadRowsWarning(const DatabaseFile& db, std::initializer_list<const char*> tables);

}  // namespace dunmere
