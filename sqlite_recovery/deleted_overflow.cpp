#include "sqlite_recovery/deleted_overflow.h"

#include "sqlite_recovery/live_record.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {

bool MeasureDeletedRecord(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t usableSize,
                          std::uint32_t offset, std::int32_t n, const DeletedLayout& layout, DeletedSpan& span) {
  span = DeletedSpan{};
  const std::uint64_t types = static_cast<std::uint64_t>(offset) + layout.typesOffset;
  const std::int32_t kept = layout.firstTypeLost ? n - 1 : n;
  if (types >= pageSize || kept <= 0) return false;
  std::uint64_t area = 0, body = 0;
  for (std::int32_t i = 0; i < kept; ++i) {
    if (types + area >= pageSize) return false;
    const Varint type = ReadVarint(page + types + area, pageSize - types - area);
    if (type.length == 0) return false;
    area += type.length;
    body += SerialTypeBodySize(type.value);
    if (body > std::uint64_t{1} << 32) return false;  // longer than any record
  }
  // The lost first type took one byte, or two when its last one is left at offset.
  const std::uint64_t lostType = layout.firstTypeLost ? (layout.typesOffset == 1 ? 2 : 1) : 0;
  const std::uint64_t typeBytes = lostType + area;
  const std::uint64_t headerVarint = typeBytes + 1 < 128 ? 1 : 2;
  if (types < lostType + headerVarint) return false;
  span.recordStart = types - lostType - headerVarint;
  span.payload = headerVarint + typeBytes + layout.firstBodySize + body;
  span.local = LocalPayloadSize(span.payload, usableSize);
  return true;
}

Status GatherDeletedRecord(const SqliteFileReader& reader, const std::uint8_t* page, std::uint32_t offset,
                           std::int32_t n, const DeletedLayout& layout, std::vector<std::uint8_t>& storage,
                           std::vector<ColumnValue>& out) {
  const std::uint32_t types = offset + layout.typesOffset;
  DeletedSpan span;
  if (!MeasureDeletedRecord(page, reader.pageSize, reader.usableSize, offset, n, layout, span) || !span.Overflows()) {
    return DecodeCandidateLayout(page, reader.pageSize, types, n, layout.firstTypeLost, layout.firstBodySize, out);
  }
  const std::uint64_t localEnd = span.recordStart + span.local;
  if (localEnd + 4 > reader.pageSize || localEnd <= types ||
      span.payload > reader.pageCount * (reader.usableSize - 4)) {  // more than the file holds
    return kInvalidData;
  }
  // The record from its first kept type on: the rest of the page's part, then the chain's.
  const std::uint64_t total = span.payload - (types - span.recordStart);
  storage.assign(page + types, page + localEnd);
  const Status rc = AppendOverflow(reader, ReadBe32(page, reader.pageSize, static_cast<std::size_t>(localEnd)), total,
                                   true, storage);
  if (rc != kOk) return rc;
  if (storage.size() < total) return kInvalidData;
  return DecodeCandidateLayout(storage.data(), static_cast<std::uint32_t>(storage.size()), 0, n, layout.firstTypeLost,
                               layout.firstBodySize, out);
}

}  // namespace dunmere
