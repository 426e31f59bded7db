#include "settings/message_format.h"

namespace dunmere {

std::string FormatMessage(std::string_view format, const std::vector<std::string>& values) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      const char c = format[i + 1];
      if ((c == 's' || c == 'd') && next < values.size()) {
        out += values[next++];
        ++i;
        continue;
      }
      if (c == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

}  // namespace dunmere
