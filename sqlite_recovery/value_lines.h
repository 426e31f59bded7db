#pragma once
// Every row of the messages table and of the contacts search table, live and deleted, written as one
// line of values appended to a file: the lines of the messages and contacts CSV exports.
#include <filesystem>

#include "platform/status.h"

namespace dunmere {

class SqliteFileReader;

// Before a run the caller sets the reader's highest message (or contacts) row id: deleted rows are
// numbered upward from it. The file is appended to; rows that break a rule write nothing.
Status WriteMessageLines(SqliteFileReader& reader, const std::filesystem::path& output);
Status WriteContactLines(SqliteFileReader& reader, const std::filesystem::path& output);

}  // namespace dunmere
