#include "cli/terminal_text.h"

#include <cstdio>

namespace dunmere::cli {

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto escape = [&out](unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += buf;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      escape(c);
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      escape(static_cast<unsigned char>(text[++i]));  // a C1 control character (U+0080 to U+009F)
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace dunmere::cli
