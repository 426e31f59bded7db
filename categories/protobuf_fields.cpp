#include "categories/protobuf_fields.h"

namespace dunmere {
namespace {

// A base-128 varint of at most ten bytes at pos; false when it runs past the end.
bool ReadVarint(std::string_view bytes, std::size_t& pos, std::uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 70 && pos < bytes.size(); shift += 7) {
    const auto byte = static_cast<std::uint8_t>(bytes[pos++]);
    if (shift < 64) value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

}  // namespace

bool FindBytesField(std::string_view message, std::uint32_t field, std::string_view& out) {
  std::size_t pos = 0;
  while (pos < message.size()) {
    std::uint64_t key = 0;
    if (!ReadVarint(message, pos, key)) return false;
    const std::uint64_t number = key >> 3;
    std::uint64_t length = 0;
    switch (key & 7) {
      case 0:
        if (!ReadVarint(message, pos, length)) return false;
        break;
      case 1:
        if (message.size() - pos < 8) return false;
        pos += 8;
        break;
      case 5:
        if (message.size() - pos < 4) return false;
        pos += 4;
        break;
      case 2:
        if (!ReadVarint(message, pos, length) || length > message.size() - pos) return false;
        if (number == field) {
          out = message.substr(pos, static_cast<std::size_t>(length));
          return true;
        }
        pos += static_cast<std::size_t>(length);
        break;
      default:  // groups and unknown wire types: nothing a note body holds
        return false;
    }
  }
  return false;
}

}  // namespace dunmere
