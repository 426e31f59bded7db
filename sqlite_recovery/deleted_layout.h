#pragma once
// Where the values of a freed cell lie when its table's first column holds data. Freeing a cell
// writes a freeblock header (next offset, size) over its first four bytes: the payload length, the
// row id, the header length and, when those took three bytes, the first column's serial type. The
// block's size, which is the cell's size, then tells how long the lost first value was.
#include <cstdint>
#include <vector>

namespace dunmere {

// How a deleted candidate's record lies: whether its first serial type was lost, and then how many
// body bytes the lost first column takes in front of the others.
struct DeletedLayout {
  bool firstTypeLost = false;
  std::uint64_t firstBodySize = 0;
  std::uint32_t typesOffset = 0;  // how far after the candidate's offset the serial types start
  std::int32_t columnCount = 0;   // the record's column count; 0: the table's expected count
};

// The column count of the deleted record laid out as layout says at offset: expected, unless the
// record's own bounds (the header-length byte left in front of its types, or the freed cell's size)
// fit one of the older counts and not the expected one.
std::int32_t DeletedColumnCount(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset,
                                std::int32_t expected, const std::vector<std::int32_t>& older,
                                const DeletedLayout& layout);

// The layout of a deleted record of a table whose first column is the row id's alias (stored as NULL,
// no body): its type was lost with the freeblock header unless the byte at offset is that NULL type.
// A zero byte there can also be the second column's NULL with the alias's type lost: the reading
// whose record fits its freed cell better wins, the kept type on a tie. The column count as
// DeletedColumnCount chooses it.
DeletedLayout AliasFirstLayout(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset,
                               std::int32_t expected, const std::vector<std::int32_t>& older);

// Whether the bytes in front of a header-length varint at header are a cell's payload length (equal
// to payload) and row id, each a varint.
bool WholeCellBefore(const std::uint8_t* page, std::uint32_t header, std::uint64_t payload);

// Whether a whole cell of a table leaf starts at at and ends by limit: a payload-length varint, a row
// id, and a record of that many columns whose header length, serial types and values fill exactly
// that payload (with columns 0, of any count). A cell freed after the one before it is merged into
// that one's freed block untouched; its start is where the cell before it ended.
bool WholeCellAt(const std::uint8_t* page, std::uint64_t at, std::uint64_t limit, std::int32_t columns);

// Whether the pieces of a freed block from at on lead to its end at blockEnd: headers cells freed
// earlier kept (each sized to the end of its block at the time, where the next piece begins, or past
// the block's end when its tail was handed out since), up to the block's end or a cell of the table
// freed later and merged whole. Four header-like bytes inside a record (a double's trailing zeros and
// the next byte) seldom start such a run.
bool FreedPiecesReachEnd(const std::uint8_t* page, std::uint32_t pageSize, std::uint64_t at, std::uint64_t blockEnd,
                         std::int32_t columns);

// The same, giving the row id when they are. With the page's size, bytes that read as a freeblock
// header (a next block on the page, a size that covers the record) are taken for one, not for a key.
bool CellKeyBefore(const std::uint8_t* page, std::uint32_t header, std::uint64_t payload, std::uint64_t& rowid,
                   std::uint32_t pageSize = 0);

// The layout of the candidate whose serial types (n of them, or n - 1 after a lost first type) start
// at offset. False when it cannot be told where its values lie. With the usable page size, records
// too long for the page are measured by the part they keep on it; with 0 they are not told.
bool InferDeletedLayout(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t usableSize,
                        std::uint32_t offset, std::int32_t n, DeletedLayout& layout);

// Whether the bytes [begin, end) of a table leaf page overlap one of its cells: no deleted record
// does (those of a leaf freed whole are its cells, read as such).
bool OverlapsCell(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t usableSize, std::uint64_t begin,
                     std::uint64_t end);

// The end of the record laid out as layout says at offset (n columns), at most the page's end; 0
// when its types run past the page.
std::uint64_t DeletedRecordEnd(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset, std::int32_t n,
                               const DeletedLayout& layout);

}  // namespace dunmere
