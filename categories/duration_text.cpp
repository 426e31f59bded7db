#include <string>

#include "categories/category_records.h"

namespace dunmere {

std::string DurationText(std::int64_t seconds, const DurationUnits& units) {
  const auto part = [](std::int64_t count, const std::string& unit) { return std::to_string(count) + " " + unit; };
  if (seconds >= 3600) return part(seconds / 3600, units.hour) + " " + part(seconds % 3600 / 60, units.minute);
  if (seconds >= 60) return part(seconds / 60, units.minute) + " " + part(seconds % 60, units.second);
  return part(seconds, units.second);
}

}  // namespace dunmere
