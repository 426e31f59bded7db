#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

namespace dunmere {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed sequence at text[i], or 0 when it is ill-formed (Unicode table 3-7).
std::size_t WellFormedLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t b0 = byte(i);
  if (b0 < 0x80) return 1;
  std::size_t length;
  std::uint8_t lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string SanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t n = WellFormedLength(text, i);
    if (n == 0) {
      out.append(kReplacement);
      ++i;
      continue;
    }
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

bool IsWellFormedUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // Runs of ASCII, eight bytes at a time.
    std::uint64_t word = 0;
    if (i + 8 <= text.size() && (std::memcpy(&word, text.data() + i, 8), (word & 0x8080808080808080ULL) == 0)) {
      i += 8;
      continue;
    }
    const std::size_t n = WellFormedLength(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace dunmere
