#include "sqlite_recovery/deleted_layout.h"

#include <vector>

#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/page_layout.h"
#include "sqlite_recovery/record_format.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {
namespace {

std::uint32_t Be16(const std::uint8_t* p) { return (static_cast<std::uint32_t>(p[0]) << 8) | p[1]; }

// No record is longer than this (SQLite's own limit is a billion bytes).
constexpr std::uint64_t kMaxRecord = std::uint64_t{1} << 32;

// The bytes from its types on that a record keeps in its cell: lead is what of the record lies in
// front of its types (the header-length varint, a lost first type), rest the types and values from
// there. A record too long for the page keeps its local part and the overflow page number. With no
// usable size, every record counts as fitting.
std::uint64_t OnPageFromTypes(std::uint64_t lead, std::uint64_t rest, std::uint32_t usableSize) {
  const std::uint64_t payload = lead + rest;
  if (usableSize < 512 || payload <= usableSize - 35) return rest;
  const std::uint64_t local = LocalPayloadSize(payload, usableSize);
  return local >= lead ? local - lead + 4 : 0;
}

std::uint64_t HeaderVarintLength(std::uint64_t typeBytes) { return typeBytes + 1 < 128 ? 1 : 2; }

// The bytes k serial types at offset take, and the bytes of the values they describe. False when
// the types run past the page.
bool Measure(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset, std::int64_t k,
             std::uint64_t& area, std::uint64_t& body) {
  area = 0;
  body = 0;
  if (k < 0) return false;
  for (std::int64_t i = 0; i < k; ++i) {
    if (offset + area >= pageSize) return false;
    const Varint type = ReadVarint(page + offset + area, pageSize - offset - area);
    if (type.length == 0) return false;
    area += type.length;
    body += SerialTypeBodySize(type.value);
    if (body > kMaxRecord) return false;
  }
  return true;
}

// The end of the cell freed into the block at s: the block's end, or, when cells freed before it
// and lying just after it were merged into the block, the first of their headers (each kept its
// own, and its size reaches the block's end), or a whole cell of the table (columns) freed after it
// right where its record ends. min is the least end the record allows.
bool FreedCellEnd(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t s, std::uint64_t min,
                  std::int32_t columns, std::uint64_t& end) {
  const std::uint32_t next = Be16(page + s);
  const std::uint32_t size = Be16(page + s + 2);
  if (size < 4 || s + size > pageSize || (next != 0 && (next <= s || next >= pageSize))) return false;
  end = s + size;
  // A header right where the record ends, inside the block, is the next cell's; so is a whole cell
  // freed after this one.
  if (min + 4 <= end && FreedPiecesReachEnd(page, pageSize, min, end, columns)) {
    end = min;
    return true;
  }
  for (std::uint64_t r = min; r + 4 <= end; ++r) {
    const std::uint32_t innerNext = Be16(page + r);
    if (Be16(page + r + 2) == end - r && (innerNext == 0 || (innerNext > r && innerNext < pageSize))) {
      end = r;
      break;
    }
  }
  return true;
}

// Whether a value of bodySize bytes can have had a serial type whose varint was one byte long.
bool FitsOneByteType(std::uint64_t bodySize) { return bodySize <= (127 - 12) / 2; }

// How well a record of count columns laid out as layout says at offset fits the bytes around it,
// the higher the better: 8 when the whole cell is still in front of its types (a header length that
// matches them, and before it the payload length and row id), 3 when the record ends where the freed
// cell it lies in ends (the freeblock header in front of it, or of its header-length byte, gives that
// end), 2 when only the header-length byte left just in front of its types matches them, 1 when it
// only ends inside that freed cell; the sum of what holds.
int BoundsFit(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset, std::int32_t count,
              const DeletedLayout& layout) {
  const std::uint64_t start = static_cast<std::uint64_t>(offset) + layout.typesOffset;
  std::uint64_t area = 0, body = 0;
  if (start >= pageSize || !Measure(page, pageSize, static_cast<std::uint32_t>(start),
                                     layout.firstTypeLost ? count - 1 : count, area, body)) {
    return 0;
  }
  const std::uint64_t end = start + area + layout.firstBodySize + body;
  if (end > pageSize) return 0;
  int fit = 0;
  bool inside = false, freedRightBefore = false;
  std::uint64_t cellEnd = 0;
  for (const std::uint64_t back : {4u, 5u}) {
    if (offset >= back && FreedCellEnd(page, pageSize, static_cast<std::uint32_t>(offset - back), end, count, cellEnd)) {
      if (cellEnd == end) fit = 3;
      inside = inside || end <= offset - back + Be16(page + offset - back + 2);
      freedRightBefore = freedRightBefore || back == 4;
    }
  }
  if (fit == 0 && inside) fit = 1;
  const bool header = !layout.firstTypeLost && start >= 1 && area + 1 < 128 && page[start - 1] == area + 1;
  if (header && WholeCellBefore(page, static_cast<std::uint32_t>(start - 1), area + 1 + body)) return fit + 8;
  // Right after a freeblock header the byte in front is that header's size, no header length.
  if (header && !freedRightBefore) fit += 2;
  return fit;
}

}  // namespace

std::int32_t DeletedColumnCount(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset,
                                std::int32_t expected, const std::vector<std::int32_t>& older,
                                const DeletedLayout& layout) {
  if (older.empty()) return expected;
  // The best fit wins; on a tie the expected count, then the larger older one.
  std::int32_t best = expected;
  int bestFit = BoundsFit(page, pageSize, offset, expected, layout);
  for (const std::int32_t count : older) {
    const int fit = count >= 2 ? BoundsFit(page, pageSize, offset, count, layout) : 0;
    if (fit > bestFit) {
      best = count;
      bestFit = fit;
    }
  }
  return best;
}

DeletedLayout AliasFirstLayout(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset,
                               std::int32_t expected, const std::vector<std::int32_t>& older) {
  DeletedLayout lost;
  lost.firstTypeLost = true;
  const auto counted = [&](DeletedLayout layout) {
    layout.columnCount = DeletedColumnCount(page, pageSize, offset, expected, older, layout);
    return layout;
  };
  if (offset >= pageSize || page[offset] != 0) return counted(lost);
  const DeletedLayout kept = counted(DeletedLayout{});
  lost = counted(lost);
  return BoundsFit(page, pageSize, offset, lost.columnCount, lost) > BoundsFit(page, pageSize, offset, kept.columnCount, kept)
             ? lost
             : kept;
}

bool CellKeyBefore(const std::uint8_t* page, std::uint32_t header, std::uint64_t payload, std::uint64_t& rowid,
                   std::uint32_t pageSize) {
  // A varint ends at a byte below 0x80; every byte before its last one has the high bit set.
  if (header < 2 || page[header - 1] >= 0x80) return false;
  for (std::uint32_t key = header - 1; key > 0 && header - key <= 9; --key) {
    if (key < header - 1 && page[key] < 0x80) break;
    // The payload length's varint ends right before the row id's: with a byte below 0x80 (a read
    // cut short by its limit at a higher byte is no varint).
    if (page[key - 1] >= 0x80) continue;
    for (std::uint32_t length = key; length > 0 && key - length < 9;) {
      --length;
      const Varint value = ReadVarint(page + length, key - length);
      if (value.length == key - length && value.value == payload) {
        // A freeblock header written over the cell's first four bytes can read as its key (and its
        // last byte as the header length): a header in those bytes whose size reaches the end of
        // the record is that one.
        for (std::uint32_t block = length >= 3 ? length - 3 : 0; block + 3 <= header; ++block) {
          const std::uint64_t size = Be16(page + block + 2), next = Be16(page + block);
          if (size == header + payload - block) return false;
          // A block merged with its neighbours, or since absorbed into the unallocated gap, is larger.
          if (pageSize != 0 && size > header + payload - block && block + size <= pageSize &&
              (next == 0 || (next >= block + size && next < pageSize))) {
            return false;
          }
        }
        rowid = ReadVarint(page + key, header - key).value;
        return true;
      }
    }
  }
  return false;
}

bool FreedPiecesReachEnd(const std::uint8_t* page, std::uint32_t pageSize, std::uint64_t at, std::uint64_t blockEnd,
                         std::int32_t columns) {
  // A block is made of at most a page's worth of pieces; the bound keeps a crafted page cheap.
  for (int piece = 0; piece < 256 && at < blockEnd; ++piece) {
    // A whole cell of the table is sure enough (behind the first piece, one written before or after a
    // column was added alike); what lies behind it may have been written over by a cell handed out
    // from the block's tail.
    if (WholeCellAt(page, at, blockEnd, piece == 0 ? columns : 0)) return true;
    const std::uint64_t next = at + 4 <= blockEnd ? Be16(page + at) : 0;
    const std::uint64_t size = at + 4 <= blockEnd ? Be16(page + at + 2) : 0;
    if (size < 4 || (next != 0 && (next < at + size || next >= pageSize)) || at + size > pageSize) {
      return false;
    } else if (at + size > blockEnd) {
      return true;  // the block's tail was handed out to a new cell since that header was written
    } else {
      at += size;
    }
  }
  return at == blockEnd;
}

bool WholeCellAt(const std::uint8_t* page, std::uint64_t at, std::uint64_t limit, std::int32_t columns) {
  if (at + 3 > limit) return false;
  const Varint payload = ReadVarint(page + at, limit - at);
  const std::uint64_t key = at + payload.length;
  if (key >= limit) return false;
  const std::uint64_t record = key + ReadVarint(page + key, limit - key).length;
  if (record >= limit || payload.value > limit - record) return false;
  const Varint header = ReadVarint(page + record, limit - record);
  if (header.value <= header.length || header.value > payload.value) return false;
  std::uint64_t pos = record + header.length, body = 0;
  const std::uint64_t typesEnd = record + header.value;
  std::int32_t count = 0;
  while (pos < typesEnd && (columns == 0 || count < columns)) {
    const Varint type = ReadVarint(page + pos, typesEnd - pos);
    if (type.value == 10 || type.value == 11 || type.value > kMaxRecord) return false;
    pos += type.length;
    body += SerialTypeBodySize(type.value);
    ++count;
  }
  return (columns == 0 || count == columns) && pos == typesEnd && header.value + body == payload.value;
}

bool WholeCellBefore(const std::uint8_t* page, std::uint32_t header, std::uint64_t payload) {
  std::uint64_t rowid = 0;
  return CellKeyBefore(page, header, payload, rowid);
}

bool InferDeletedLayout(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t usableSize,
                        std::uint32_t offset, std::int32_t n, DeletedLayout& layout) {
  layout = DeletedLayout{};
  if (offset >= pageSize || n < 2) return false;
  std::uint64_t areaAll = 0, bodyAll = 0, areaRest = 0, bodyRest = 0;
  const bool measuredAll = Measure(page, pageSize, offset, n, areaAll, bodyAll);
  const bool measuredRest = Measure(page, pageSize, offset, n - 1, areaRest, bodyRest);
  const std::uint64_t allOnPage = OnPageFromTypes(HeaderVarintLength(areaAll), areaAll + bodyAll, usableSize);

  // The freeblock header just in front: the cell's size is known.
  std::uint64_t end = 0;
  const std::uint64_t restOnPage = OnPageFromTypes(2, areaRest + bodyRest, usableSize);
  const bool freed = offset >= 4 && measuredRest && FreedCellEnd(page, pageSize, offset - 4, offset + restOnPage, n, end);
  const std::uint64_t cell = freed ? end - (offset - 4) : 0;
  // The payload length and row id took four bytes: every type is still there. The cell ends where the
  // block does, or where a cell merged into the block begins.
  if (freed && measuredAll && 4 + allOnPage == cell) return true;
  std::uint64_t keptEnd = 0;
  if (offset >= 4 && measuredAll && FreedCellEnd(page, pageSize, offset - 4, offset + allOnPage, n, keptEnd) &&
      keptEnd == offset + allOnPage) {
    return true;
  }
  if (measuredAll && offset >= 1 && areaAll + 1 < 128 && page[offset - 1] == areaAll + 1) {
    // They took four bytes and the header-length varint is left in front of the types.
    std::uint64_t wider = 0;
    if (offset >= 5 && FreedCellEnd(page, pageSize, offset - 5, offset + allOnPage, n, wider) &&
        wider == offset + allOnPage) {
      return true;
    }
    // A whole cell: the row id's varint, and before it the payload length's, which must be the
    // header's and the values' length.
    if (WholeCellBefore(page, offset - 1, areaAll + 1 + bodyAll)) return true;
  }
  if (freed) {
    // The first type was one byte and went with the three before it; the cell's size leaves the
    // length of its value.
    const std::uint64_t lead = HeaderVarintLength(areaRest + 1) + 1;
    const std::uint64_t lost = cell - 4 - areaRest - bodyRest;
    if (cell >= 4 + areaRest + bodyRest && FitsOneByteType(lost) &&
        4 + OnPageFromTypes(lead, areaRest + lost + bodyRest, usableSize) == cell) {
      layout.firstTypeLost = true;
      layout.firstBodySize = lost;
      return true;
    }
    // A record too long for the page keeps only part of itself there: the lengths that fill the
    // cell are tried one by one.
    for (std::uint64_t size = 0; lead + areaRest + bodyRest > usableSize - 35 && FitsOneByteType(size); ++size) {
      if (4 + OnPageFromTypes(lead, areaRest + size + bodyRest, usableSize) == cell) {
        layout.firstTypeLost = true;
        layout.firstBodySize = size;
        return true;
      }
    }
    // The first type was a two-byte varint (a text or blob of 58 bytes or more): its last byte is
    // left at offset, and must agree with a value of the length the cell leaves for it.
    std::uint64_t areaTail = 0, bodyTail = 0;
    if (Measure(page, pageSize, offset + 1, n - 1, areaTail, bodyTail) && cell >= 5 + areaTail + bodyTail &&
        page[offset] < 0x80) {
      const std::uint64_t size = cell - 5 - areaTail - bodyTail;
      const std::uint64_t low = page[offset];
      if (!FitsOneByteType(size) && ((2 * size + 12) % 128 == low || (2 * size + 13) % 128 == low)) {
        // The types start one byte on; the caller decodes from there.
        layout.firstTypeLost = true;
        layout.firstBodySize = size;
        layout.typesOffset = 1;
        return true;
      }
    }
  }
  return false;
}

}  // namespace dunmere

namespace dunmere {

std::uint64_t DeletedRecordEnd(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset, std::int32_t n,
                               const DeletedLayout& layout) {
  const std::uint64_t start = static_cast<std::uint64_t>(offset) + layout.typesOffset;
  if (start >= pageSize) return 0;
  std::uint64_t area = 0, body = 0;
  if (!Measure(page, pageSize, static_cast<std::uint32_t>(start), layout.firstTypeLost ? n - 1 : n, area, body)) {
    return 0;
  }
  const std::uint64_t end = start + area + (layout.firstTypeLost ? layout.firstBodySize : 0) + body;
  return end < pageSize ? end : pageSize;
}

bool OverlapsCell(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t usableSize, std::uint64_t begin,
                     std::uint64_t end) {
  const PageView view{page, pageSize, 0};
  if (view.Kind() != kLeafTablePage) return false;
  std::vector<std::uint16_t> cells;
  CellList(view, cells);
  for (const std::uint16_t cell : cells) {
    if (cell >= pageSize) continue;
    const Varint payload = ReadVarint(page + cell, pageSize - cell);
    if (payload.length == 0 || cell + payload.length >= pageSize) continue;
    const Varint rowid = ReadVarint(page + cell + payload.length, pageSize - cell - payload.length);
    const std::uint64_t local = LocalPayloadSize(payload.value, usableSize);
    const std::uint64_t cellEnd =
        cell + payload.length + rowid.length + local + (local < payload.value ? 4 : 0);
    if (begin < cellEnd && cell < end) return true;
  }
  return false;
}

}  // namespace dunmere
