#include "platform/visible_text.h"

#include <cstdio>

namespace dunmere {

std::size_t DeceptiveSequenceAt(std::string_view text, std::size_t i) {
  const auto at = [&](std::size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
  if (at(0) == 0xC2 && at(1) >= 0x80 && at(1) <= 0x9F) return 2;
  if (at(0) == 0xE2 && ((at(1) == 0x80 && at(2) >= 0xAA && at(2) <= 0xAE) || (at(1) == 0x81 && at(2) >= 0xA6 && at(2) <= 0xA9))) {
    return 3;
  }
  return 0;
}

std::string VisibleText(std::string_view text, bool keepLineEnds, bool escapeBidi) {
  std::string out;
  out.reserve(text.size());
  char buf[12];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      if (keepLineEnds && (c == '\t' || c == '\n' || c == '\r')) {
        out.push_back(static_cast<char>(c));
      } else {
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
      }
      continue;
    }
    const std::size_t length = DeceptiveSequenceAt(text, i);
    if (length == 2) {  // C1: its code point as a byte, as C0 controls are written
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(text[i + 1]));
      out += buf;
      ++i;
      continue;
    }
    if (length == 3 && escapeBidi) {
      const unsigned codePoint = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                                 (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
      std::snprintf(buf, sizeof buf, "\\u%04X", codePoint);
      out += buf;
      i += 2;
      continue;
    }
    out.push_back(static_cast<char>(c));
  }
  return out;
}

}  // namespace dunmere
