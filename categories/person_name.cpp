#include "categories/person_name.h"

#include <cstdint>

namespace dunmere {
namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The code point of the UTF-8 sequence that starts at text's front (0 when it is not well formed).
std::uint32_t FirstCodePoint(std::string_view text) {
  if (text.empty()) return 0;
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || length > text.size()) return 0;
  std::uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(i) & 0x3F);
  }
  return point;
}

// The code point of the UTF-8 sequence that ends text.
std::uint32_t LastCodePoint(std::string_view text) {
  std::size_t start = text.size();
  while (start > 0 && text.size() - start < 4) {
    --start;
    if ((static_cast<std::uint8_t>(text[start]) & 0xC0) != 0x80) break;
  }
  return FirstCodePoint(text.substr(start));
}

// Letters of the scripts whose names are written without blanks: Han, kana, Hangul (and their
// compatibility and extension blocks).
bool WrittenWithoutBlanks(std::uint32_t c) {
  return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xA960 && c <= 0xA97F) ||
         (c >= 0xAC00 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF66 && c <= 0xFFDC) ||
         (c >= 0x20000 && c <= 0x3FFFF);
}

}  // namespace

std::string PersonName(std::string_view first, std::string_view last) {
  first = Trimmed(first);
  last = Trimmed(last);
  if (first.empty()) return std::string(last);
  if (last.empty()) return std::string(first);
  const bool joined = WrittenWithoutBlanks(LastCodePoint(first)) && WrittenWithoutBlanks(FirstCodePoint(last));
  return std::string(first) + (joined ? "" : " ") + std::string(last);
}

}  // namespace dunmere
