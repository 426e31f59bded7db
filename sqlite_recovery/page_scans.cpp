#include "sqlite_recovery/page_scans.h"

#include <algorithm>
#include <limits>

#include "sqlite_recovery/deleted_layout.h"
#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {
namespace {

// The longest value a one-byte serial type describes: a text of (127 - 13) / 2 bytes.
constexpr std::int64_t kLongestOneByteValue = 57;

// One leaf page and the counts of the table being decoded. Positions are signed 64-bit so that no
// arithmetic on them wraps; every read goes through the helpers, which never leave the page.
struct Scan {
  Scan(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t headerOffset = 0)
      : page(page), size(reader.pageSize), n(reader.currentColumnCount), hdr(headerOffset) {
    older = &reader.olderColumnCounts;
    usable = reader.usableSize;
    thorough = reader.thoroughSearch;
    keyed = !reader.currentWithoutRowid;
  }

  // The bytes from its types on that a record of that extent keeps on the page: all of them, or, in
  // a thorough search (which follows deleted records' overflow chains), the part a record too long
  // for the page keeps there with its overflow page number.
  std::int64_t OnPage(std::int64_t extent) const {
    const auto payload = static_cast<std::uint64_t>(extent) + 1;
    if (!thorough || extent < 0 || payload <= usable - 35) return extent;
    return static_cast<std::int64_t>(LocalPayloadSize(payload, usable)) - 1 + 4;
  }

  // The counts a record of the table may have: the expected one first, then those of rows written
  // before columns were added.
  template <typename Try>
  bool AnyCount(std::int32_t first, Try attempt) const {
    if (attempt(first)) return true;
    for (const std::int32_t c : *older) {
      if (c != first && attempt(c)) return true;
    }
    return false;
  }

  std::uint32_t Be16(std::int64_t pos) const {
    return pos < 0 ? 0 : ReadBe16(page, size, static_cast<std::size_t>(pos));
  }
  Varint VarintAt(std::int64_t pos, std::int64_t limit) const {
    if (pos < 0 || pos >= size || limit <= 0) return Varint{};
    return ReadVarint(page + pos, static_cast<std::size_t>(std::min<std::int64_t>(limit, size - pos)));
  }
  // Length of k serial types at pos (0 when k is 0).
  std::int64_t Area(std::int64_t pos, std::int64_t k) const {
    if (pos < 0 || pos >= size || k <= 0) return 0;
    return static_cast<std::int64_t>(
        SerialAreaLength(page + pos, static_cast<std::size_t>(size - pos), static_cast<std::uint64_t>(k)));
  }
  // Extent of a record of count columns (the expected count when 0; when -1, of the serial types in
  // the callerArea bytes at pos) whose serial types start at pos (see RecordExtent).
  std::int64_t Extent(std::int64_t pos, std::int64_t callerArea, std::int64_t limit, std::int32_t count = 0) const {
    const std::size_t available = (pos >= 0 && pos < size) ? static_cast<std::size_t>(size - pos) : 0;
    const std::uint8_t* start = available > 0 ? page + pos : page;
    const std::uint64_t extent =
        RecordExtent(count < 0 ? 0 : count != 0 ? count : n, start, available, callerArea < 0 ? 0 : static_cast<std::uint64_t>(callerArea),
                     limit < 0 ? 0 : static_cast<std::uint64_t>(limit));
    return extent > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : static_cast<std::int64_t>(extent);
  }
  static std::int64_t Value(const Varint& v) {
    return v.value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
               ? std::numeric_limits<std::int64_t>::max()
               : static_cast<std::int64_t>(v.value);
  }
  // Adds a candidate inside the page. An offset already in the list is not added again: it would
  // only decode to the same record a second time.
  void Append(std::int64_t pos, std::vector<std::uint16_t>& out) const {
    if (pos <= 0 || pos >= size) return;
    const auto offset = static_cast<std::uint16_t>(pos);
    if (std::find(out.begin(), out.end(), offset) == out.end()) out.push_back(offset);
  }

  const std::uint8_t* page;
  std::int64_t size;
  std::int32_t n;            // expected column count of the table
  std::int64_t hdr;          // where the B-tree header starts (100 on the first page)
  const std::vector<std::int32_t>* older = nullptr;  // shorter counts live rows have, largest first
  std::uint32_t usable = 0;
  bool thorough = false;
  bool keyed = true;  // cells carry a row id after their payload length (not so on index pages)
};

std::vector<std::uint16_t> Cells(const Scan& scan) {
  std::vector<std::uint16_t> cells;
  CellList(PageView{scan.page, static_cast<std::uint32_t>(scan.size), static_cast<std::uint32_t>(scan.hdr)}, cells);
  return cells;
}

// From x on (up to to, the page's end when 0), every position whose varint reads as the header
// length of a record of the table (a value up to five more than the column count, equal to 1 plus
// the length of the column count's serial types after it) is a record start; the walk then skips
// the record. With wholeCells, only records whose cell's payload length and row id are still in
// front of the header count.
void HeaderRunPass(const Scan& scan, std::int64_t x, std::vector<std::uint16_t>& candidates, std::int64_t to = 0,
                   bool wholeCells = false) {
  if (to <= 0 || to > scan.size) to = scan.size;
  while (x < to) {
    const std::int64_t left = to - x;
    const Varint header = scan.VarintAt(x, left);
    const std::int64_t g = header.length;
    const std::int64_t h = Scan::Value(header);
    x += g;
    std::int32_t count = 0;
    const bool recordStart = h != 0 && h < left && scan.AnyCount(scan.n, [&](std::int32_t c) {
      count = c;
      return h <= c + 5 && c < left - g && h == 1 + scan.Area(x, c);
    });
    if (!recordStart) continue;
    // A whole header says how long its types are; otherwise a non-zero first byte is taken for the
    // second column's type.
    const std::int64_t whole = wholeCells ? scan.Extent(x, h - g, std::numeric_limits<std::int64_t>::max(), -1) : 0;
    const std::int64_t extent = wholeCells ? scan.OnPage(whole) : scan.Extent(x, h - 1, to - x, count);
    // A record that would run past the page leaves nothing after it; but a whole cell is told by the
    // bytes in front of it, so a false start (not yet weighed by them) ends no search for whole cells.
    if (!wholeCells && to == scan.size && extent > to - x) break;
    if (extent > to - x) continue;  // no record of an area it would leave: read on
    if (wholeCells && !WholeCellBefore(scan.page, static_cast<std::uint32_t>(x - g), static_cast<std::uint64_t>(whole) + static_cast<std::uint64_t>(g))) {
      continue;
    }
    scan.Append(x, candidates);
    x += extent;
  }
}

// Whether a whole cell of the table (its count of columns or an older one) starts at at, ending by limit.
bool WholeCellOfTable(const Scan& scan, std::int64_t at, std::int64_t limit) {
  return at >= 0 && at < limit && limit <= scan.size && scan.AnyCount(scan.n, [&](std::int32_t c) {
           return WholeCellAt(scan.page, static_cast<std::uint64_t>(at), static_cast<std::uint64_t>(limit), c);
         });
}

// Whether the pieces of a freed block from at on lead to its end (FreedPiecesReachEnd), by the table's
// count or an older one.
bool PiecesReachEnd(const Scan& scan, std::int64_t at, std::int64_t blockEnd) {
  return scan.AnyCount(scan.n, [&](std::int32_t c) {
    return FreedPiecesReachEnd(scan.page, static_cast<std::uint32_t>(scan.size), static_cast<std::uint64_t>(at),
                               static_cast<std::uint64_t>(blockEnd), c);
  });
}

// Whether end, the end of a record read in a freed block that ends at blockEnd, is where a cell
// ended: the block's end, or the first of the pieces that lead on to it (PiecesReachEnd).
bool EndsAtCellBoundary(const Scan& scan, std::int64_t end, std::int64_t blockEnd) {
  if (end == blockEnd) return true;
  if (end < 0 || end >= blockEnd || blockEnd > scan.size) return false;
  return PiecesReachEnd(scan, end, blockEnd);
}

// Whether a header of a cell freed into the block that ends at blockEnd lies inside (from, to): cells
// freed one after another into one block each keep a header whose size reaches the block's end, so a
// reading that runs over one has taken in the next cell.
bool CrossesFreedHeader(const Scan& scan, std::int64_t from, std::int64_t to, std::int64_t blockEnd) {
  for (std::int64_t r = std::max<std::int64_t>(from + 1, 0); r + 4 <= to && r + 4 <= scan.size; ++r) {
    const std::int64_t next = scan.Be16(r);
    if (scan.Be16(r + 2) == blockEnd - r && (next == 0 || (next > r && next < scan.size))) return true;
  }
  return false;
}

// Where the serial types of a record in a freed cell start, the freeblock header having taken the
// cell's first four bytes (at p, just after that header). An intact header-length varint at p (one
// plus the length of n serial types behind it) puts the start after it; otherwise the types start at
// p itself. Beyond that test at p: when p holds neither such a varint nor the zero type of a NULL
// first column, the cell's row id may have been longer than the two bytes the header took, so the
// next three positions are tried for a header-length varint as well (headerAt gets its position).
// Types bytes can read as such a varint too (a REAL's type 7 in front of six one-byte types, the
// first of them the value's first byte): when the block's end is known (blockEnd), a reading that
// ends at a cell boundary there (the block's end, or the kept header of a cell freed before and
// merged into the block) wins over one that does not. At p the types may all be there (the cell's
// payload length, row id and header length took the four bytes) or have lost the first.
std::int64_t TypesStart(const Scan& scan, std::int64_t p, std::int64_t& headerAt, std::int64_t blockEnd = 0) {
  headerAt = p;
  // Whether the record whose types start at start ends at a cell boundary: read with every type there
  // (kept), or with the first type lost.
  const auto endsAtBlock = [&](std::int64_t start, bool kept) {
    return blockEnd > start && scan.AnyCount(scan.n, [&](std::int32_t c) {
             const std::int64_t area = kept ? scan.Area(start, c) : 0;
             const std::int64_t length = scan.OnPage(scan.Extent(start, area, scan.size - start, kept ? -1 : c));
             // A lost first type took its value's length with it: the value, up to the longest a
             // one-byte type describes, lies in front of the others and moves the end on.
             const std::int64_t lostValue = kept || scan.page[start] == 0 ? 0 : kLongestOneByteValue;
             for (std::int64_t end = start + length; end <= start + length + lostValue; ++end) {
               if (end <= blockEnd && EndsAtCellBoundary(scan, end, blockEnd)) {
                 return !CrossesFreedHeader(scan, start, end, blockEnd);
               }
             }
             return false;
           });
  };
  for (std::int64_t at = p; at < p + 4 && at < scan.size; ++at) {
    const Varint v = scan.VarintAt(at, scan.size - at);
    const std::int64_t h = v.length;
    if (scan.AnyCount(scan.n, [&](std::int32_t c) { return Scan::Value(v) - h == scan.Area(at + h, c); })) {
      if (!endsAtBlock(at + h, true) && (endsAtBlock(p, false) || endsAtBlock(p, true))) return p;
      headerAt = at;
      return at + h;
    }
    if (at == p && scan.page[p] == 0) break;  // a NULL first column: the types start right here
  }
  return p;
}

// Where the record whose types start at start ends, when a reading of it (by the table's count or an
// older one, with its first type lost or every type there) ends where a cell in the freed block that
// ends at blockEnd does; 0 when none does.
std::int64_t CellEndOf(const Scan& scan, std::int64_t start, std::int64_t blockEnd) {
  std::int64_t found = 0;
  scan.AnyCount(scan.n, [&](std::int32_t c) {
    for (const bool kept : {false, true}) {
      const std::int64_t area = kept ? scan.Area(start, c) : 0;
      const std::int64_t length = scan.OnPage(scan.Extent(start, area, scan.size - start, kept ? -1 : c));
      if (length > 0 && length <= blockEnd - start && EndsAtCellBoundary(scan, start + length, blockEnd)) {
        found = start + length;
        return true;
      }
    }
    return false;
  });
  return found;
}

// Whether a record whose types start at start fits a freed block of blockSize bytes (whose header
// lies in front of it): read by the table's count or an older one, as Extent reads it, or, where the
// first byte is a NULL type, with the first type lost all the same (the NULL is the second column's
// when the first was the row id's alias).
bool FitsBlock(const Scan& scan, std::int64_t start, std::int64_t blockSize) {
  return scan.AnyCount(scan.n, [&](std::int32_t c) {
    if (scan.OnPage(scan.Extent(start, 0, scan.size - start, c)) <= blockSize) return true;
    return scan.page[start] == 0 && c > 1 &&
           scan.OnPage(scan.Extent(start, scan.Area(start, c - 1), scan.size - start, -1)) <= blockSize;
  });
}

// Whether a freeblock begins at s; if so, where the serial types of the record in it start.
bool FreeblockAt(const Scan& scan, std::int64_t s, std::int64_t& start) {
  if (scan.n >= scan.size - s) return false;
  std::int64_t blockSize = scan.Be16(s + 2);
  if (blockSize == 0) return false;
  if (s + blockSize > scan.size) {
    const Varint alt = scan.VarintAt(s + 3, scan.size - s - 3);
    blockSize = Scan::Value(alt);
    if (blockSize > scan.size - s - 3 - alt.length) return false;
  }
  std::int64_t headerAt = 0;
  start = TypesStart(scan, s + 4, headerAt, s + blockSize);
  return start < scan.size && FitsBlock(scan, start, blockSize);
}

bool NearCandidate(const std::vector<std::uint16_t>& candidates, std::int64_t pos) {
  return std::any_of(candidates.begin(), candidates.end(),
                     [pos](std::uint16_t c) { return c >= pos - 6 && c <= pos + 6; });
}

// Cells freed one by one lose their first four bytes to a freeblock header (next offset, size).
// When the page is later rebuilt, or freed whole, they stay behind with that header still in front
// of their serial types, out of reach of the chain and of the header tests: take every such header
// in [from, to) whose record fits its block and that no candidate lies near. Where [from, to) is the
// rest of a freeblock (inBlock), a header's size leads to the next piece of it, or past its end.
void FreeblockRemainsPass(const Scan& scan, std::int64_t from, std::int64_t to, std::vector<std::uint16_t>& candidates,
                          bool inBlock = false) {
  // A reading that ends where a cell does is sure: a doubtful reading found a few bytes off does not
  // keep it out.
  // The end of the reading at start by the column count c, with the first type lost or (kept) with
  // every type there; one that runs past the page ends at the page's end (past gives 1 then).
  const auto endOf = [&](std::int64_t start, std::int32_t c, bool kept = false, bool* past = nullptr) {
    const std::int64_t area = kept ? scan.Area(start, c) : 0;
    const std::int64_t extent = scan.OnPage(scan.Extent(start, area, scan.size - start, kept ? -1 : c));
    if (past != nullptr) *past = extent > scan.size - start;
    return start + std::clamp<std::int64_t>(extent, 1, scan.size - start);
  };
  // By the table's count or an older one; sure gets the end of the sure reading.
  const auto endsAtCell = [&](std::int64_t s, std::int64_t start, std::int64_t* sure = nullptr) {
    const std::int64_t blockEnd = s + scan.Be16(s + 2);
    return scan.AnyCount(scan.n, [&](std::int32_t c) {
      for (const bool kept : {false, true}) {
        bool past = false;
        const std::int64_t end = endOf(start, c, kept, &past);
        // Cells freed one after another into one block each keep a header reaching the same block
        // end; one freed after the cell in front of it is whole.
        const bool atCell = !past && (end == blockEnd ||
                            (end + 4 <= blockEnd && end + scan.Be16(end + 2) == blockEnd &&
                             (scan.Be16(end) == 0 || scan.Be16(end) > end)) ||
                            WholeCellOfTable(scan, end, blockEnd));
        if (atCell && sure != nullptr) *sure = end;
        if (atCell) return true;
      }
      return false;
    });
  };
  const auto headerAt = [&](std::int64_t s, std::int64_t& start) {
    const std::int64_t next = scan.Be16(s);
    const std::int64_t blockSize = scan.Be16(s + 2);
    return s + 4 < to && (next == 0 || (next > s && next < scan.size)) && blockSize >= 4 &&
           s + blockSize <= scan.size && (!inBlock || PiecesReachEnd(scan, s, to)) && FreeblockAt(scan, s, start) &&
           (!NearCandidate(candidates, start) || (scan.thorough && endsAtCell(s, start)));
  };
  for (std::int64_t s = from; s + 4 < to;) {
    std::int64_t start = 0;
    if (headerAt(s, start)) {
      // The bytes in front of a header (zeros, or the end of the record before) read as one too; a
      // header that names a next block a byte or three on is the real one, unless this reading is sure.
      for (std::int64_t k = 3; k >= 1 && !(scan.thorough && endsAtCell(s, start)); --k) {
        std::int64_t later = 0;
        if (scan.Be16(s + k) != 0 && headerAt(s + k, later)) {
          s += k;
          start = later;
          break;
        }
      }
      scan.Append(start, candidates);
      // A record that ends where a cell does is skipped whole; of any other reading only the header
      // is sure, and a thorough search looks for the cells merged behind it from there.
      std::int64_t end = endOf(start, scan.n);
      s = !scan.thorough || endsAtCell(s, start, &end) ? end : s + 4;
      continue;
    }
    ++s;
  }
}

}  // namespace

void FreeblockScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                              std::uint32_t headerOffset) {
  const Scan scan(reader, page, headerOffset);
  std::vector<bool> seen(static_cast<std::size_t>(scan.size), false);
  std::int64_t o = scan.Be16(scan.hdr + 1);
  // A chain that comes back to a freeblock it passed is damaged; it ends there.
  while (o != 0 && o + 4 <= scan.size && !seen[static_cast<std::size_t>(o)]) {
    seen[static_cast<std::size_t>(o)] = true;
    const std::int64_t blockSize = scan.Be16(o + 2);
    if (blockSize == 0) break;
    if (o + blockSize <= scan.size) {
      std::int64_t headerAt = 0;
      const std::int64_t start = TypesStart(scan, o + 4, headerAt, o + blockSize);
      const bool keep = FitsBlock(scan, start, blockSize);
      if (keep) scan.Append(start, candidates);
      // The rest of the block is searched from where its first record ends, when that is where a cell
      // does; otherwise from its start.
      const std::int64_t rest = keep ? CellEndOf(scan, start, o + blockSize) : 0;
      const std::int64_t from = rest > 0 ? rest : o + 4;
      // Neighbouring cells freed earlier were merged into this block; each kept its own header.
      FreeblockRemainsPass(scan, from, o + blockSize, candidates, true);
      // A cell freed later behind it was merged in untouched: its payload length and row id are still
      // in front of its record.
      HeaderRunPass(scan, from, candidates, o + blockSize, true);
    }
    o = scan.Be16(o);
  }
}

void TailScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                         std::uint32_t headerOffset) {
  const Scan scan(reader, page, headerOffset);
  const PageView view{page, static_cast<std::uint32_t>(scan.size), headerOffset};
  // The cell with the highest offset; with no cells at all, the page header itself.
  std::int64_t last = scan.hdr;
  if (view.CellCount() == 1) {
    last = view.ContentAreaStart();
  } else if (view.CellCount() > 1) {
    const std::vector<std::uint16_t> cells = Cells(scan);
    last = *std::max_element(cells.begin(), cells.end());
  }
  const Varint payload = scan.VarintAt(last, scan.size - last);
  const Varint rowid = scan.keyed ? scan.VarintAt(last + payload.length, scan.size - last - payload.length) : Varint{};
  const std::int64_t payloadLength = Scan::Value(payload);
  if (payloadLength >= scan.size) return;  // also keeps the sum below from overflowing
  const std::int64_t e = last + payload.length + rowid.length + payloadLength;
  if (e >= scan.size) return;

  HeaderRunPass(scan, e, candidates);

  const std::int64_t n = scan.n;
  for (std::int64_t y = e; y + n + 9 < scan.size;) {
    y += 4;
    const std::int64_t extent = scan.Extent(y, scan.Area(y, n), scan.size - y);
    if (extent > scan.size - y) break;
    scan.Append(y, candidates);
    y += extent;
  }
}

void GapScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                        std::uint32_t headerOffset) {
  const Scan scan(reader, page, headerOffset);
  const PageView view{page, static_cast<std::uint32_t>(scan.size), headerOffset};
  std::int64_t bound = scan.size;
  if (view.CellCount() == 1) {
    bound = view.ContentAreaStart();
  } else if (view.CellCount() > 1) {
    const std::vector<std::uint16_t> cells = Cells(scan);
    bound = *std::min_element(cells.begin(), cells.end());
  }
  bound = std::min(bound, scan.size);
  // The gap begins after the first zero word of the pointer area; its data at the first non-zero byte.
  // Where stale pointers fill the area up to data left in the gap (no zero word), the gap begins
  // after the live pointers.
  std::int64_t zeroWord = -1;
  for (std::int64_t w = scan.hdr + 8; w + 2 <= bound; w += 2) {
    if (scan.Be16(w) == 0) {
      zeroWord = w;
      break;
    }
  }
  const std::int64_t pointersEnd = scan.hdr + 8 + 2 * static_cast<std::int64_t>(view.CellCount());
  if (zeroWord < 0) zeroWord = pointersEnd - 2;
  // Cells a rebuild of the page left behind whole, with their payload length and row id, from right
  // after the live pointers: stale pointers and such cells can lie before the first zero word.
  if (scan.thorough) HeaderRunPass(scan, pointersEnd, candidates, bound, true);
  if (zeroWord + 2 >= bound) return;
  std::int64_t b = zeroWord + 2;
  while (b < bound && page[b] == 0) ++b;
  if (b >= bound) return;
  const std::int64_t gapEnd = bound;

  for (std::int64_t p = bound - 1; p >= b; --p) {
    const std::int64_t limit = bound - p;
    const Varint header = scan.VarintAt(p, limit);
    const std::int64_t h = Scan::Value(header);
    const std::int64_t d = header.length;
    // The table's count, or that of rows written before columns were added.
    std::int32_t count = 0;
    const bool fits = scan.AnyCount(scan.n, [&](std::int32_t c) {
      count = c;
      return h != 0 && h >= c && h <= c + 5 && h < limit && h < limit - d && h == 1 + scan.Area(p + d, c);
    });
    if (fits && scan.Extent(p + d, h, bound - (p + d), count) <= bound - (p + d)) {
      scan.Append(p + d, candidates);
      bound = p;
    }
  }

  // A freeblock header's first bytes are often zeros, so its remains may begin just before b.
  FreeblockRemainsPass(scan, std::max(zeroWord + 2, b - 3), gapEnd, candidates);

  for (std::int64_t at = b; at < bound; ++at) {
    const std::int64_t word = scan.Be16(at);
    if (word == 0) continue;
    const std::int64_t start = at + 4;
    const std::int64_t room = bound - start;
    if (room >= 0 && scan.Extent(start, word, room) <= room) scan.Append(start, candidates);
    break;  // at most one record from this pass
  }
}

void StalePointerScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                                 std::uint32_t headerOffset) {
  const Scan scan(reader, page, headerOffset);
  const std::int64_t count = PageView{page, static_cast<std::uint32_t>(scan.size), headerOffset}.CellCount();
  const std::int64_t c = scan.n;
  std::int64_t lastLive = 0;
  for (std::int64_t i = 0; i < scan.size / 2; ++i) {
    const std::int64_t entry = scan.hdr + 8 + 2 * i;
    if (entry + 2 > scan.size) break;
    const std::int64_t s = scan.Be16(entry);
    if (s == 0 || s >= scan.size) break;
    if (i < count) {
      lastLive = s;
      continue;
    }
    if (s >= lastLive && s <= lastLive + 6) continue;

    std::int64_t start = 0;
    if (FreeblockAt(scan, s, start)) {
      scan.Append(start, candidates);
      continue;
    }
    std::int64_t remaining;  // serial area plus body the record should cover
    std::int64_t r;
    bool waived = false;
    if (s + 1 < scan.size && page[s] == 0 && page[s + 1] == 0) {
      // A freeblock that ends its chain: its size bounds the record.
      remaining = scan.Be16(s + 2) - 5;
      r = s + 4;
      waived = true;
    } else {
      const Varint payload = scan.VarintAt(s, scan.size - s);
      remaining = Scan::Value(payload) - 1;
      if (remaining > scan.size - s) continue;
      const Varint rowid = scan.keyed ? scan.VarintAt(s + payload.length, scan.size - s - payload.length) : Varint{};
      r = s + payload.length + rowid.length;
      if (r >= scan.size) continue;
    }
    if (r >= scan.size) continue;
    const Varint header = scan.VarintAt(r, scan.size - r);
    const std::int64_t h = Scan::Value(header);
    const std::int64_t k = header.length;
    std::int32_t count = 0;
    const bool fits = scan.AnyCount(static_cast<std::int32_t>(c), [&](std::int32_t n) {
      count = n;
      return n < scan.size - r && h == 1 + scan.Area(r + k, n);
    });
    if (h == 0 || h >= scan.size || !fits || r + k + h >= scan.size || remaining <= h) continue;
    if (!waived && scan.Extent(r + k, h - 1, scan.size - (r + k), count) != remaining) continue;
    if (NearCandidate(candidates, r + k)) continue;
    scan.Append(r + k, candidates);
  }
}

void LeafPageScans(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates,
                   std::uint32_t headerOffset) {
  FreeblockScan(reader, page, candidates, headerOffset);
  TailScan(reader, page, candidates, headerOffset);
  GapScan(reader, page, candidates, headerOffset);
  StalePointerScan(reader, page, candidates, headerOffset);
}

void InteriorRemainsScan(SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t headerOffset,
                         std::vector<std::uint16_t>& candidates) {
  const Scan scan(reader, page);
  const PageView view{page, static_cast<std::uint32_t>(scan.size), headerOffset};
  if (view.Kind() != kInteriorTablePage) return;
  const std::int64_t from = headerOffset + view.HeaderLength() + 2 * static_cast<std::int64_t>(view.CellCount());
  const std::int64_t to = std::min<std::int64_t>(view.ContentAreaStart(), scan.size);
  if (from >= to) return;
  HeaderRunPass(scan, from, candidates, to, true);
  FreeblockRemainsPass(scan, from, to, candidates);
}

void FreelistTrunkScan(SqliteFileReader& reader, const std::uint8_t* page, std::vector<std::uint16_t>& candidates) {
  const Scan scan(reader, page);
  const std::int64_t listed = std::min<std::int64_t>(ReadBe32(page, scan.size, 4), (scan.size - 8) / 4);
  const std::int64_t from = 8 + 4 * listed;
  HeaderRunPass(scan, from, candidates, scan.size, true);
  FreeblockRemainsPass(scan, from, scan.size, candidates);
}

}  // namespace dunmere
