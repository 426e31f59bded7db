#include "platform/text_compare.h"

#include <algorithm>

namespace dunmere {

int CompareNoCase(std::string_view a, std::string_view b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = lower(static_cast<unsigned char>(a[i]));
    const int cb = lower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace dunmere
