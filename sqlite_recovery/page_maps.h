#pragma once
#include <cstdint>
#include <map>
#include <vector>

namespace dunmere {

// Zero-based page index to the offsets of cells (live walk) or record candidates (deleted walk) on
// that page, iterated in ascending page index.
using PageCellMap = std::map<std::uint32_t, std::vector<std::uint16_t>>;

// Zero-based child page index to the key of the interior cell pointing at it (-1 for a right-most
// child and for table roots). Visiting it visits children in ascending page index, each once.
using ChildPageMap = std::map<std::uint32_t, std::int64_t>;

// A version of a page the database no longer reads: the file's own where its log holds a newer one
// (logOffset 0), or a log frame that holds no current page (see WriteAheadLog::OlderFrames).
struct PageVersion {
  std::uint32_t index = 0;  // zero-based page index
  std::uint64_t logOffset = 0;
};

// State of a decoded row: live, deleted, or deleted and found only in an older version of a page that
// the database's write-ahead log kept or replaced (any non-zero state is a deleted row).
enum class RowState : std::uint8_t { kNormal = 0, kDeleted = 1, kDeletedInLog = 2 };

}  // namespace dunmere
