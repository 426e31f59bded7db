#pragma once
// Deleted records too long for their page: the part on the page ends with the number of the first
// overflow page, and the pages of the chain, freed with the record, are still on the freelist.
#include <cstdint>
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/deleted_layout.h"
#include "sqlite_recovery/record_format.h"

namespace dunmere {

class SqliteFileReader;

// Where a deleted record laid out as layout says at offset (n columns) lay in its cell.
struct DeletedSpan {
  std::uint64_t recordStart = 0;  // its header-length varint, lost or not
  std::uint64_t payload = 0;      // header and values
  std::uint64_t local = 0;        // the bytes of it on the page
  bool Overflows() const { return local < payload; }
  // The end of the record's bytes on the page, with the overflow page number when it has one.
  std::uint64_t LocalEnd() const { return recordStart + local + (Overflows() ? 4 : 0); }
};

// False when its types run past the page.
bool MeasureDeletedRecord(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t usableSize,
                          std::uint32_t offset, std::int32_t n, const DeletedLayout& layout, DeletedSpan& span);

// The values of that record. One that overflows is gathered into storage (which then holds the
// bytes the values point into) from its page and its freed overflow pages; 87 when the chain does
// not give the whole record.
Status GatherDeletedRecord(const SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t offset,
                           std::int32_t n, const DeletedLayout& layout, std::vector<std::uint8_t>& storage,
                           std::vector<ColumnValue>& out);

}  // namespace dunmere
