#pragma once
// INI files as the program keeps its settings and language texts in them: "[section]" lines, then
// "key=text" lines. Names of sections and keys compare without regard to case; the first section of
// a name and the first line of a key are the ones read. What is read is held to the sizes of the
// buffers the program reads into, counted in characters.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// One line of a section: the text before its first "=" and the text after it (a line without "="
// is both).
struct IniLine {
  std::string key;
  std::string text;
};

struct IniSection {
  std::string name;
  std::vector<IniLine> lines;
};

class IniFile {
 public:
  // Reads path; a missing or unreadable file reads as empty. A UTF-8 byte-order mark is skipped.
  static IniFile Load(const std::filesystem::path& path);
  static IniFile Parse(std::string_view text);

  // The names of the sections in file order, each once, as many as fit in limit characters (each
  // name and its terminator counted, plus the list's own terminator).
  std::vector<std::string> SectionNames(std::size_t limit) const;

  // The lines of every section of that name, in file order, as many as fit in limit characters
  // (each line as "key=text" with its terminator, plus the list's own terminator); the line that
  // does not fit whole is cut.
  std::vector<IniLine> SectionLines(std::string_view section, std::size_t limit) const;

  // The text of the first line of key in the first section of that name, cut to limit - 1
  // characters; fallback when there is none.
  std::string Value(std::string_view section, std::string_view key, std::string_view fallback,
                    std::size_t limit) const;

  // Sets key in the first section of that name (adding the line, or the section at the end).
  void SetValue(std::string_view section, std::string_view key, std::string_view text);

  std::string Text() const;
  // Writes the file through a temporary file beside it; the system's code when that fails.
  Status Save(const std::filesystem::path& path) const;

 private:
  std::vector<IniSection> sections_;
};

// The first count characters of text (UTF-8 sequences are not split).
std::string FirstCharacters(std::string_view text, std::size_t count);
// The number of characters of text.
std::size_t CharacterCount(std::string_view text);

}  // namespace dunmere
