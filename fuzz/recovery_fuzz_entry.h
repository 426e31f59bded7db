#pragma once
// Feeds arbitrary bytes, taken as a database file, through everything the page reader does with a
// file: the header and freelist, the schema lookup, both walks, the four page scans and the freed-page
// step, for tables of every kind of expected column count, then every table decoder and both
// value-line writers; every row found is decoded.
#include <cstddef>
#include <cstdint>

namespace dunmere {

// Returns the number of rows that decoded.
std::size_t RunRecoveryOnBytes(const std::uint8_t* data, std::size_t size);

}  // namespace dunmere
