#pragma once
// Every row of the messages table and of the contacts search table, live and plausible deleted ones,
// written as one line of values appended to a file: the lines of the messages and contacts CSV
// exports.
#include <cstdint>
#include <filesystem>

#include "platform/status.h"

namespace dunmere {

class SqliteFileReader;

// Live rows are numbered by their row id; deleted rows upward from highestRowid, which receives the
// last number given. The file is appended to. Values are written as stored.
Status WriteMessageLines(SqliteFileReader& reader, const std::filesystem::path& output, std::int64_t& highestRowid);
Status WriteContactLines(SqliteFileReader& reader, const std::filesystem::path& output, std::int64_t& highestRowid);

}  // namespace dunmere
