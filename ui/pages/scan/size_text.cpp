#include "ui/pages/scan/size_text.h"

#include <cstdio>

namespace dunmere {

std::string SizeText(std::uint64_t bytes) {
  struct Unit {
    std::uint64_t from;
    double divisor;
    const char* name;
  };
  static constexpr Unit kUnits[] = {{std::uint64_t{1} << 40, 1099511627776.0, " TB"},
                                    {std::uint64_t{1} << 30, 1073741824.0, " GB"},
                                    {1048576, 1048576.0, " MB"},
                                    {1024, 1024.0, " KB"}};
  char text[64];
  for (const Unit& u : kUnits) {
    if (bytes >= u.from) {
      std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(bytes) / u.divisor, u.name);
      return text;
    }
  }
  std::snprintf(text, sizeof text, "%llu Bytes", static_cast<unsigned long long>(bytes));
  return text;
}

}  // namespace dunmere
