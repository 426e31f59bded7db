#pragma once
// The integer encodings of the SQLite file format, read with explicit byte limits so that no input
// can make a read leave its buffer.
#include <cstddef>
#include <cstdint>

namespace dunmere {

struct Varint {
  std::uint64_t value = 0;
  std::uint32_t length = 0;  // bytes used; 0 only when the limit was 0
};

// A SQLite varint: seven bits from each byte whose top bit is set, most significant group first,
// ending at the first byte with the top bit clear; a ninth byte gives all eight bits. When the limit
// is reached first, the value gathered so far is taken and the length is the limit.
inline Varint ReadVarint(const std::uint8_t* bytes, std::size_t limit) {
  Varint v;
  const std::size_t n = limit < 9 ? limit : 9;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = bytes[i];
    if (i == 8) {
      v.value = (v.value << 8) | b;
      v.length = 9;
      return v;
    }
    v.value = (v.value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) {
      v.length = static_cast<std::uint32_t>(i + 1);
      return v;
    }
  }
  v.length = static_cast<std::uint32_t>(n);
  return v;
}

// Big-endian reads at pos of a buffer of size bytes; 0 when the value does not lie inside it.
inline std::uint32_t ReadBe16(const std::uint8_t* buf, std::size_t size, std::size_t pos) {
  if (pos + 2 > size || pos + 2 < pos) return 0;
  return (static_cast<std::uint32_t>(buf[pos]) << 8) | buf[pos + 1];
}

inline std::uint32_t ReadBe32(const std::uint8_t* buf, std::size_t size, std::size_t pos) {
  if (pos + 4 > size || pos + 4 < pos) return 0;
  return (static_cast<std::uint32_t>(buf[pos]) << 24) | (static_cast<std::uint32_t>(buf[pos + 1]) << 16) |
         (static_cast<std::uint32_t>(buf[pos + 2]) << 8) | buf[pos + 3];
}

// An unsigned big-endian integer of width bytes (0 to 8).
inline std::uint64_t ReadBeUnsigned(const std::uint8_t* bytes, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v = (v << 8) | bytes[i];
  return v;
}

}  // namespace dunmere
