#pragma once
// The rows of a table WITHOUT ROWID: the records of an index B-tree, on its leaves and between the
// children of its interior pages alike.
#include <cstdint>
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/page_maps.h"

namespace dunmere {

class RowDecoder;
class SqliteFileReader;

// Every record of the tree under root in key order (Normal), each page once and no deeper than
// kMaxBtreeDepth, its leaf pages added to leaves; then the deleted candidates the page scans find on
// those leaves (Deleted). The first read error ends the walk and is returned.
Status DecodeIndexTree(SqliteFileReader& reader, std::uint32_t root, RowDecoder& decoder,
                       std::vector<std::uint32_t>& leaves);

// The records of one index page (page holds it, index is where it is) and, on a leaf, the deleted
// candidates the page scans find, all with the given state: a freed page, or an older version of one.
void DecodeIndexPage(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t index, RowDecoder& decoder,
                     RowState state);

// Where the record of the cell at offset of a page of that kind starts: past the child page number
// on an interior index page.
std::uint32_t IndexRecordOffset(std::uint8_t kind, std::uint32_t offset);

}  // namespace dunmere
