#pragma once
// The run every table decoder shares: the table's roots from the schema, the live rows of its B-tree,
// the deleted candidates of the same leaves, then the pages on the freelist that held rows of it.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/page_maps.h"

namespace dunmere {

class SqliteFileReader;
class HandedOverPages;

// What a table decoder does with each row the run finds. page holds the page of the row.
class RowDecoder {
 public:
  virtual ~RowDecoder() = default;
  // A cell of a table leaf page, in the live form (GatherLiveRecord); for a table WITHOUT ROWID the
  // record of an index page's cell, cellOffset at its payload length (GatherIndexRecord).
  virtual void DecodeLive(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t pageIndex,
                          std::uint16_t cellOffset, RowState state) = 0;
  // A deleted candidate, in the deleted form (DecodeCandidate).
  virtual void DecodeDeleted(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t pageIndex,
                             std::uint16_t offset, RowState state) = 0;
  // A cell of an older version of a page that another table's tree held (see ForeignCells): what it
  // left behind where this table's pages now are is that table's. Before any other row.
  virtual void NoteForeign(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t pageIndex,
                           std::uint16_t cellOffset) {
    (void)reader, (void)page, (void)pageIndex, (void)cellOffset;
  }
};

// For each freelist leaf page, in list order, that is a table page whose first record has the current
// table's column count (or an older one of its live rows), or that the current table's tree held when
// it was dropped, and that no other dropped table's tree held: its live cells and its deleted
// candidates, all as Deleted. Then the
// records of the table left on freelist trunk pages, as Deleted.
void RecoverFreedPages(SqliteFileReader& reader, RowDecoder& decoder);

// For each older version of a page that the write-ahead log kept or replaced, when it is a table leaf
// of the current table (one of its pages now, ownLeaves, sorted; or, with otherPages, a page whose
// first record has its column count): its cells and deleted candidates, as DeletedInLog, but for the
// records another table left in a page before handing it over. The decoder tells rows that a newer
// version holds from those it forgot.
void RecoverOlderPageVersions(SqliteFileReader& reader, RowDecoder& decoder, const std::vector<std::uint32_t>& ownLeaves,
                              bool otherPages, const HandedOverPages& handedOver);

// The cells of the older page versions the log kept whose tree, in their state, was another table's of
// the same kind (table or WITHOUT ROWID): handed to the decoder's NoteForeign. A page freed by one
// table and taken by another keeps the first one's cells in its free space.
void ForeignCells(SqliteFileReader& reader, RowDecoder& decoder);

// How many shorter record generations of one table are told apart.
inline constexpr std::size_t kMaxOlderColumnCounts = 8;

// Notes that a live row of the current table has count columns: when that is fewer than its schema
// declares, the deleted-row steps also look for records of that count.
void NoteOlderColumnCount(SqliteFileReader& reader, std::int32_t count);

// Runs a decoder over one table: sets the reader's current table and the column count its records
// are measured by (columns, as the caller read the table's description; 0: what its schema declares),
// then for each root in ascending page index the live cells (Normal, leaf pages in ascending index,
// cells in list order) and the deleted candidates (Deleted) (a table WITHOUT ROWID: DecodeIndexTree
// at its own root), then, when freedPages is set, RecoverFreedPages; then RecoverOlderPageVersions
// (other pages than the table's own only with freedPages). A read error ends the work on the table's
// own B-tree but not the freed-pages step; the last error code is returned.
Status RunTableDecoder(SqliteFileReader& reader, std::string_view table, RowDecoder& decoder, bool freedPages = true,
                       std::int32_t columns = 0);

}  // namespace dunmere
