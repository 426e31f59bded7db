#include "platform/plist_limits.h"

#include <cstdint>
#include <vector>

namespace dunmere {
namespace {

std::uint64_t ReadBig(std::string_view data, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(data[at + i]);
  return value;
}

// The binary form: every object's offset from the offset table; a container's references follow its
// marker (and, for a count of 15 or more, an integer object giving the count). The walk keeps its own
// stack and visits each object once, so its cost is that of the list whatever its shape.
bool BinaryWithinLimits(std::string_view data, std::size_t maxDepth) {
  constexpr std::size_t kTrailer = 32;
  if (data.size() < 8 + kTrailer) return false;
  const std::size_t trailer = data.size() - kTrailer;
  const std::size_t offsetSize = static_cast<unsigned char>(data[trailer + 6]);
  const std::size_t refSize = static_cast<unsigned char>(data[trailer + 7]);
  const std::uint64_t objects = ReadBig(data, trailer + 8, 8);
  const std::uint64_t top = ReadBig(data, trailer + 16, 8);
  const std::uint64_t table = ReadBig(data, trailer + 24, 8);
  if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || objects == 0 || top >= objects ||
      objects > data.size() || table >= trailer || (trailer - table) / offsetSize < objects) {
    return false;
  }
  const auto offsetOf = [&](std::uint64_t object) {
    return ReadBig(data, static_cast<std::size_t>(table + object * offsetSize), offsetSize);
  };
  // The references of a container object, as (first byte, count); count 0 for a leaf.
  const auto references = [&](std::uint64_t object, std::size_t& first, std::uint64_t& count) {
    const std::uint64_t at = offsetOf(object);
    if (at >= trailer) return false;
    const auto marker = static_cast<unsigned char>(data[static_cast<std::size_t>(at)]);
    const unsigned kind = marker >> 4;
    count = 0;
    const bool container = kind == 0xA || kind == 0xC || kind == 0xD;
    const bool text = kind == 0x5 || kind == 0x6;  // ASCII, UTF-16 big-endian
    if (!container && !text) return true;
    std::size_t pos = static_cast<std::size_t>(at) + 1;
    count = marker & 0x0F;
    if (count == 0x0F) {
      if (pos >= trailer) return false;
      const auto intMarker = static_cast<unsigned char>(data[pos]);
      const std::size_t width = std::size_t{1} << (intMarker & 0x0F);
      if ((intMarker >> 4) != 0x1 || width > 8 || pos + 1 + width > trailer) return false;
      count = ReadBig(data, pos + 1, width);
      pos += 1 + width;
    }
    if (text) {
      // The library stops at a NUL inside a string (or a key) and aborts on the difference.
      const std::uint64_t width = kind == 0x6 ? 2 : 1;
      if (count > (trailer - pos) / width) return false;
      for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t c = pos + static_cast<std::size_t>(i * width);
        if (data[c] == '\0' && (width == 1 || data[c + 1] == '\0')) return false;
      }
      count = 0;
      return true;
    }
    if (kind == 0xD) count *= 2;  // keys, then values
    if (count > (trailer - pos) / refSize) return false;
    first = pos;
    return true;
  };

  enum : std::uint8_t { kNew, kOpen, kDone };
  std::vector<std::uint8_t> state(static_cast<std::size_t>(objects), kNew);
  struct Frame {
    std::uint64_t object;
    std::size_t first;
    std::uint64_t count;
    std::uint64_t next;
  };
  std::vector<Frame> stack;
  const auto enter = [&](std::uint64_t object) {
    Frame frame{object, 0, 0, 0};
    if (!references(object, frame.first, frame.count)) return false;
    state[static_cast<std::size_t>(object)] = kOpen;
    stack.push_back(frame);
    return stack.size() <= maxDepth;
  };
  if (!enter(top)) return false;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.count) {
      state[static_cast<std::size_t>(frame.object)] = kDone;
      stack.pop_back();
      continue;
    }
    const std::uint64_t child = ReadBig(data, static_cast<std::size_t>(frame.first + frame.next * refSize), refSize);
    ++frame.next;
    if (child >= objects) return false;
    const std::uint8_t seen = state[static_cast<std::size_t>(child)];
    if (seen == kOpen) return false;  // a container inside itself
    // An object walked before nested no deeper below it than now: the depth was checked then.
    if (seen == kNew && !enter(child)) return false;
  }
  return true;
}

// The XML form: the nesting of its dict and array elements (self-closing ones add nothing), and no
// character reference to NUL (which the library would put inside a string and abort on).
bool XmlWithinLimits(std::string_view data, std::size_t maxDepth) {
  for (std::size_t at = data.find("&#"); at != std::string_view::npos; at = data.find("&#", at + 2)) {
    std::size_t pos = at + 2;
    if (pos < data.size() && (data[pos] == 'x' || data[pos] == 'X')) ++pos;
    const std::size_t digits = pos;
    while (pos < data.size() && data[pos] == '0') ++pos;
    if (pos > digits && pos < data.size() && data[pos] == ';') return false;  // "&#0;", "&#x00;", …
  }
  std::size_t depth = 0;
  for (std::size_t at = data.find('<'); at != std::string_view::npos; at = data.find('<', at + 1)) {
    const std::string_view tag = data.substr(at + 1, 7);
    const bool open = tag.rfind("dict", 0) == 0 || tag.rfind("array", 0) == 0;
    const bool close = tag.rfind("/dict", 0) == 0 || tag.rfind("/array", 0) == 0;
    if (open) {
      const std::size_t end = data.find('>', at);
      if (end != std::string_view::npos && end > at && data[end - 1] == '/') continue;
      if (++depth > maxDepth) return false;
    } else if (close && depth > 0) {
      --depth;
    }
  }
  return true;
}

}  // namespace

bool PlistWithinLimits(std::string_view data, std::size_t maxDepth) {
  if (data.substr(0, 6) == "bplist") return BinaryWithinLimits(data, maxDepth);
  return XmlWithinLimits(data, maxDepth);
}

}  // namespace dunmere
