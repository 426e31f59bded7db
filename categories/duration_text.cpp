#include <cstdio>

#include "categories/category_records.h"

namespace dunmere {

std::string DurationText(std::int64_t seconds) {
  char buf[64];
  if (seconds >= 3600) {
    std::snprintf(buf, sizeof buf, "%lld Hour %lld Min", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds % 3600 / 60));
  } else if (seconds >= 60) {
    std::snprintf(buf, sizeof buf, "%lld Min %lld Sec", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(buf, sizeof buf, "%lld Sec", static_cast<long long>(seconds));
  }
  return buf;
}

}  // namespace dunmere
