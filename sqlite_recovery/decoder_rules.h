#pragma once
// What the messages and contacts decoders learn from live rows and how they read deleted ones; the
// value-line writers of the same tables follow the same rules.
#include <cstddef>
#include <cstdint>

namespace dunmere {

class SqliteFileReader;
struct DecodedRow;

// Highest live message row id; 51 types in the deleted form once a live row's header reaches 51.
void LearnMessageRow(SqliteFileReader& reader, const DecodedRow& row);

// Highest live contacts row id; the serial-type bytes of the last live row.
void LearnContactRow(SqliteFileReader& reader, const DecodedRow& row);

// Serial-area bytes of a deleted contacts row: the learned bytes (one fewer when the first type was
// lost), or the types of the expected count when no live row was seen.
std::uint64_t ContactsDeletedArea(SqliteFileReader& reader, const std::uint8_t* start, std::size_t available);

}  // namespace dunmere
