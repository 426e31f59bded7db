#pragma once
// Why a category gave no records although its database is there: the tables it reads still hold
// rows (as the SQLite library counts them) that none could be read or listed.
#include <filesystem>
#include <initializer_list>
#include <string>

namespace dunmere {

// "the table "message" holds 4 rows, none of which could be read or listed" for the first of tables
// that holds rows; empty when none does, or when the file cannot be read by the library.
std::string UnreadRowsWarning(const std::filesystem::path& db, std::initializer_list<const char*> tables);

}  // namespace dunmere
