#pragma once
// The record format as the recovery reads it: value sizes by serial type, the length of a run of
// serial types, the extent of a record whose header may be damaged, and the column walk that turns a
// live record or a deleted candidate into column values.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// Body bytes of a value of the serial type (10 and 11 are taken as 0).
inline std::uint64_t SerialTypeBodySize(std::uint64_t type) {
  if (type >= 12) return (type - 12) / 2;  // blobs (even) and texts (odd, (t - 13) / 2) alike
  static constexpr std::uint8_t kSizes[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
  return kSizes[type];
}

// Sum of the lengths of k consecutive varints starting at bytes (none read past available).
std::uint64_t SerialAreaLength(const std::uint8_t* bytes, std::size_t available, std::uint64_t k);

// Bytes a record covers when its serial types start at start: the serial area (that of n types, or
// n - 1 when the first byte is not 0, a lost first type; callerAreaLength when n is 0) plus the body
// sizes of the types in it. The walk stops once the running total exceeds limit.
std::uint64_t RecordExtent(std::int32_t n, const std::uint8_t* start, std::size_t available,
                           std::uint64_t callerAreaLength, std::uint64_t limit);

// One value of a decoded record.
struct ColumnValue {
  std::uint32_t column = 0;       // zero-based position in the table
  std::uint64_t serialType = 0;
  const std::uint8_t* data = nullptr;
  std::uint32_t size = 0;

  bool IsNull() const { return serialType == 0 || serialType == 10 || serialType == 11; }
  bool IsInteger() const { return (serialType >= 1 && serialType <= 6) || serialType == 8 || serialType == 9; }
  bool IsReal() const { return serialType == 7; }
  bool IsText() const { return serialType >= 13 && (serialType & 1) == 1; }
  bool IsBlob() const { return serialType >= 12 && (serialType & 1) == 0; }
  // Integers of 1 to 4 bytes read unsigned (0xFF is 255), 6 and 8 bytes as two's complement; the
  // constants 0 and 1 of types 8 and 9; 0 for anything else.
  std::int64_t AsInteger() const;
  // Every integer read as two's complement, as the file format defines it.
  std::int64_t AsSignedInteger() const;
  double AsReal() const;
  std::string_view AsText() const { return {reinterpret_cast<const char*>(data), size}; }
};

// A record in the live form: header-length varint, serial types to the end of the header, body.
// 87 when the header or a value runs past size.
Status DecodeLiveRecord(const std::uint8_t* record, std::size_t size, std::vector<ColumnValue>& out);

// A deleted candidate whose serial types start at offset of a page: n serial types belonging to
// columns 0 to n - 1 when the first byte is 0, else n - 1 types for columns 1 to n - 1 (the first
// column's type is lost). Nothing beyond the page is read. 87 when a value runs past the page.
Status DecodeCandidate(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset, std::int32_t n,
                       std::vector<ColumnValue>& out);

// A deleted candidate whose layout is known: n serial types at offset when the first type is kept,
// else n - 1 types for columns 1 to n - 1 with the lost first column's body (firstBodySize bytes)
// in front of theirs.
Status DecodeCandidateLayout(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset, std::int32_t n,
                             bool firstTypeLost, std::uint64_t firstBodySize, std::vector<ColumnValue>& out);

// The same with the serial area's length in bytes given instead of counted from n types.
Status DecodeCandidateArea(const std::uint8_t* page, std::uint32_t pageSize, std::uint32_t offset,
                           std::uint64_t areaLength, std::vector<ColumnValue>& out);

// Number of serial types in the header of a live-form record (0 when the header is damaged).
std::uint32_t CountSerialTypes(const std::uint8_t* record, std::size_t size);

}  // namespace dunmere
