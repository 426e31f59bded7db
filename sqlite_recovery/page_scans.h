#pragma once
// The four searches of a table leaf page for the remains of deleted records. Each appends to the
// page's candidate list the offsets at which it takes a record's serial types to begin: in the
// freeblock chain, in the area after the last cell, in the unallocated gap between the cell pointer
// array and the cells, and behind cell pointers left beyond the live cell count. They run in that
// order; only the last checks for candidates the others found nearby. headerOffset is where the
// page's B-tree header starts (100 on the first page, which the file header opens).
#include <cstdint>
#include <vector>

namespace dunmere {

class SqliteFileReader;

void FreeblockScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                              std::uint32_t headerOffset = 0);
void TailScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                         std::uint32_t headerOffset = 0);
void GapScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                        std::uint32_t headerOffset = 0);
void StalePointerScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                                 std::uint32_t headerOffset = 0);

// The four in their order.
void LeafPageScans(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                   std::uint32_t headerOffset = 0);

// An interior page of a table that was a leaf before (a root that grew a level, a page reused)
// keeps that leaf's cells between its pointer array and its own cells: searched as a trunk page is.
void InteriorRemainsScan(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t headerOffset,
                         std::vector<std::uint16_t>& candidates);

// A freelist trunk page keeps, after its list of leaf numbers, what the page held before it was
// freed, usually cells of a table leaf. Searches that part for records of the current table: intact
// cells by their header length, cells freed one by one by their freeblock header.
void FreelistTrunkScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates);

}  // namespace dunmere
