#include "export/export_names.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <system_error>

#include "platform/visible_text.h"

namespace dunmere {
namespace fs = std::filesystem;

std::string SafePathComponent(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    // C1 controls and the bidirectional controls (which would make the name read otherwise than it
    // is spelt) are left out.
    if (const std::size_t deceptive = DeceptiveSequenceAt(name, i); deceptive != 0) {
      i += deceptive - 1;
      continue;
    }
    const char ch = name[i];
    const auto c = static_cast<unsigned char>(ch);
    const bool refused = c < 32 || c == 127 || ch == '/' || ch == '\\' || ch == ':' || ch == '*' || ch == '?' ||
                         ch == '"' || ch == '<' || ch == '>' || ch == '|';
    out.push_back(refused ? '_' : ch);
  }
  // Trailing dots and blanks are dropped by some file systems; keep the name as it will be seen.
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  if (out.empty() || out == "." || out == "..") return "_";
  if (out.size() <= kMaxNameBytes) return out;
  // Too long for a file system (255 bytes, less room for a "(n)" the export may add): the extension
  // is kept, the rest cut at a character's boundary, and a mark of the whole name keeps two long
  // names that begin alike apart.
  const std::size_t dot = out.rfind('.');
  const std::string extension = dot != std::string::npos && out.size() - dot <= 16 ? out.substr(dot) : std::string();
  char mark[16];
  std::snprintf(mark, sizeof mark, "~%08X", static_cast<unsigned>(std::hash<std::string>{}(out) & 0xFFFFFFFFu));
  std::size_t cut = kMaxNameBytes - extension.size() - std::strlen(mark);
  while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
  return out.substr(0, cut) + mark + extension;
}

fs::path UniquePath(const fs::path& wanted) {
  std::error_code ec;
  if (!fs::exists(wanted, ec)) return wanted;
  const fs::path folder = wanted.parent_path();
  const std::string stem = wanted.stem().string();
  const std::string extension = wanted.extension().string();
  for (unsigned n = 1;; ++n) {
    const fs::path candidate = folder / (stem + "(" + std::to_string(n) + ")" + extension);
    if (!fs::exists(candidate, ec)) return candidate;
  }
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace dunmere
