#include "settings/ini_file.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/text_compare.h"

namespace dunmere {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::string_view Trim(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) { return CompareNoCase(a, b) == 0; }

IniLine SplitLine(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return {std::string(line), std::string(line)};
  return {std::string(Trim(line.substr(0, eq))), std::string(line.substr(eq + 1))};
}

}  // namespace

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += IsContinuation(static_cast<unsigned char>(c)) ? 0 : 1;
  return count;
}

std::string FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsContinuation(static_cast<unsigned char>(text[i]))) continue;
    if (seen == count) return std::string(text.substr(0, i));
    ++seen;
  }
  return std::string(text);
}

IniFile IniFile::Load(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return IniFile{};
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

IniFile IniFile::Parse(std::string_view text) {
  IniFile file;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  IniSection* current = nullptr;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (trimmed.front() == '[') {
      const std::size_t close = trimmed.find(']');
      file.sections_.push_back(IniSection{std::string(Trim(trimmed.substr(1, close == std::string_view::npos
                                                                                  ? std::string_view::npos
                                                                                  : close - 1))),
                                          {}});
      current = &file.sections_.back();
      continue;
    }
    if (current != nullptr) current->lines.push_back(SplitLine(trimmed));  // lines before any section: none
  }
  return file;
}

std::vector<std::string> IniFile::SectionNames(std::size_t limit) const {
  std::vector<std::string> names;
  std::size_t used = 1;  // the list's terminator
  for (const IniSection& s : sections_) {
    bool seen = false;
    for (const std::string& n : names) seen = seen || SameName(n, s.name);
    if (seen) continue;
    const std::size_t size = CharacterCount(s.name) + 1;
    if (used + size > limit) break;
    used += size;
    names.push_back(s.name);
  }
  return names;
}

std::vector<IniLine> IniFile::SectionLines(std::string_view section, std::size_t limit) const {
  std::vector<IniLine> lines;
  std::size_t used = 1;
  for (const IniSection& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (const IniLine& line : s.lines) {
      const std::string whole = line.key == line.text ? line.key : line.key + "=" + line.text;
      const std::size_t size = CharacterCount(whole) + 1;
      if (used + size > limit) {
        // What fits of the last line, cut.
        if (used + 1 < limit) lines.push_back(SplitLine(FirstCharacters(whole, limit - used - 1)));
        return lines;
      }
      used += size;
      lines.push_back(line);
    }
  }
  return lines;
}

std::string IniFile::Value(std::string_view section, std::string_view key, std::string_view fallback,
                           std::size_t limit) const {
  for (const IniSection& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (const IniLine& line : s.lines) {
      if (SameName(line.key, key)) return FirstCharacters(Trim(line.text), limit > 0 ? limit - 1 : 0);
    }
    break;  // only the first section of the name is read
  }
  return FirstCharacters(fallback, limit > 0 ? limit - 1 : 0);
}

void IniFile::SetValue(std::string_view section, std::string_view key, std::string_view text) {
  for (IniSection& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (IniLine& line : s.lines) {
      if (SameName(line.key, key)) {
        line.text = std::string(text);
        return;
      }
    }
    s.lines.push_back({std::string(key), std::string(text)});
    return;
  }
  sections_.push_back({std::string(section), {{std::string(key), std::string(text)}}});
}

std::string IniFile::Text() const {
  std::string out;
  for (const IniSection& s : sections_) {
    if (!out.empty()) out += "\n";
    out += "[" + s.name + "]\n";
    for (const IniLine& line : s.lines) out += line.key == line.text ? line.key + "\n" : line.key + "=" + line.text + "\n";
  }
  return out;
}

Status IniFile::Save(const std::filesystem::path& path) const {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return errno != 0 ? errno : kAccessDenied;
    out << Text();
    if (!out.flush()) return kAccessDenied;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    return kAccessDenied;
  }
  return kOk;
}

}  // namespace dunmere
