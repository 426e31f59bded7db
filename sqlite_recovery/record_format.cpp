#include "sqlite_recovery/record_format.h"

#include <cstring>

#include "sqlite_recovery/varint.h"

namespace dunmere {

std::uint64_t SerialAreaLength(const std::uint8_t* bytes, std::size_t available, std::uint64_t k) {
  std::size_t pos = 0;
  for (std::uint64_t i = 0; i < k && pos < available; ++i) {
    pos += ReadVarint(bytes + pos, available - pos).length;
  }
  return pos;
}

std::uint64_t RecordExtent(std::int32_t n, const std::uint8_t* start, std::size_t available,
                           std::uint64_t callerAreaLength, std::uint64_t limit) {
  std::uint64_t area = callerAreaLength;
  if (n != 0) {
    const bool firstTypeLost = available > 0 && start[0] != 0;
    const std::uint64_t types = static_cast<std::uint64_t>(n) - (firstTypeLost ? 1 : 0);
    area = SerialAreaLength(start, available, types);
  }
  std::uint64_t total = area;
  const std::size_t end = area < available ? static_cast<std::size_t>(area) : available;
  std::size_t pos = 0;
  while (pos < end && total <= limit) {
    const Varint type = ReadVarint(start + pos, end - pos);
    pos += type.length;
    total += SerialTypeBodySize(type.value);
  }
  return total;
}

std::int64_t ColumnValue::AsInteger() const {
  if (serialType >= 1 && serialType <= 4) return static_cast<std::int64_t>(ReadBeUnsigned(data, size));
  return AsSignedInteger();
}

std::int64_t ColumnValue::AsSignedInteger() const {
  if (serialType == 8) return 0;
  if (serialType == 9) return 1;
  if (serialType < 1 || serialType > 6) return 0;
  const std::uint64_t raw = ReadBeUnsigned(data, size);
  const unsigned bits = size * 8;
  if (bits == 64) return static_cast<std::int64_t>(raw);
  const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
  return static_cast<std::int64_t>((raw ^ sign) - sign);  // sign-extends
}

double ColumnValue::AsReal() const {
  if (serialType != 7 || size != 8) return 0.0;
  const std::uint64_t raw = ReadBeUnsigned(data, 8);
  double value;
  std::memcpy(&value, &raw, sizeof value);
  return value;
}

namespace {

// Walks the serial types in [types, typesEnd) and the body from body onwards, appending one value
// per type with columns numbered from firstColumn. The body may not pass bodyEnd.
Status WalkColumns(const std::uint8_t* types, const std::uint8_t* typesEnd, const std::uint8_t* body,
                   const std::uint8_t* bodyEnd, std::uint32_t firstColumn, std::vector<ColumnValue>& out) {
  out.clear();
  std::uint32_t column = firstColumn;
  while (types < typesEnd) {
    const Varint type = ReadVarint(types, static_cast<std::size_t>(typesEnd - types));
    types += type.length;
    const std::uint64_t size = SerialTypeBodySize(type.value);
    if (body > bodyEnd || size > static_cast<std::uint64_t>(bodyEnd - body)) return kInvalidData;
    ColumnValue value;
    value.column = column++;
    value.serialType = type.value;
    value.data = body;
    value.size = static_cast<std::uint32_t>(size);
    out.push_back(value);
    body += size;
  }
  return kOk;
}

}  // namespace

Status DecodeLiveRecord(const std::uint8_t* record, std::size_t size, std::vector<ColumnValue>& out) {
  out.clear();
  const Varint header = ReadVarint(record, size);
  if (header.length == 0 || header.value < header.length || header.value > size) return kInvalidData;
  return WalkColumns(record + header.length, record + header.value, record + header.value, record + size, 0, out);
}

Status DecodeCandidate(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset, std::int32_t n,
                       std::vector<ColumnValue>& out) {
  if (offset >= pageSize) return kInvalidData;
  return DecodeCandidateLayout(page, pageSize, offset, n, page[offset] != 0, 0, out);
}

Status DecodeCandidateLayout(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset, std::int32_t n,
                             bool firstTypeLost, std::uint64_t firstBodySize, std::vector<ColumnValue>& out) {
  out.clear();
  if (offset >= pageSize || n <= 0 || (firstTypeLost && n < 2)) return kInvalidData;
  const std::uint8_t* start = page + offset;
  const std::size_t available = pageSize - offset;
  const std::uint64_t types = static_cast<std::uint64_t>(n) - (firstTypeLost ? 1 : 0);
  const std::uint64_t area = SerialAreaLength(start, available, types);
  const std::uint64_t skip = firstTypeLost ? firstBodySize : 0;
  if (area > available || skip > available - area) return kInvalidData;
  return WalkColumns(start, start + area, start + area + skip, page + pageSize, firstTypeLost ? 1 : 0, out);
}

Status DecodeCandidateArea(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset,
                           std::uint64_t areaLength, std::vector<ColumnValue>& out) {
  out.clear();
  if (offset >= pageSize) return kInvalidData;
  const std::uint8_t* start = page + offset;
  const std::uint64_t available = pageSize - offset;
  const std::uint64_t area = areaLength < available ? areaLength : available;
  return WalkColumns(start, start + area, start + area, page + pageSize, start[0] != 0 ? 1 : 0, out);
}

std::uint32_t CountSerialTypes(const std::uint8_t* record, std::size_t size) {
  const Varint header = ReadVarint(record, size);
  if (header.length == 0 || header.value < header.length || header.value > size) return 0;
  std::uint32_t count = 0;
  std::size_t pos = header.length;
  while (pos < header.value) {
    pos += ReadVarint(record + pos, static_cast<std::size_t>(header.value) - pos).length;
    ++count;
  }
  return count;
}

}  // namespace dunmere
