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
// last number given. The file is appended to. Integers and reals are written as stored, texts as the
// screens show them (ill-formed bytes and NUL as U+FFFD), blobs as X'…' hex (the attributed body of
// a message as bare hex digits).
Status WriteMessageLines(SqliteFileReader& reader, const std::filesystem::path& output, std::int64_t& highestRowid);
Status WriteContactLines(SqliteFileReader& reader, const std::filesystem::path& output, std::int64_t& highestRowid);

}  // namespace dunmere
