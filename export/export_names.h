#pragma once
// Names of exported files: record texts made into safe single path components, and the free name the
// export takes when a file of that name is already there.
#include <filesystem>
#include <string>
#include <string_view>

namespace dunmere {

// The longest name SafePathComponent gives: a file system's 255 bytes, less room for the "(n)" of
// UniquePath.
inline constexpr std::size_t kMaxNameBytes = 240;

// A name taken from a record (a contact's, an app's, a file's) as one readable path component:
// separators, control characters and the characters common file systems refuse become "_", and a
// name that is empty, "." or ".." becomes "_". Multi-byte UTF-8 is kept. A name longer than
// kMaxNameBytes keeps its extension and is cut, with a mark of the whole name before the extension.
std::string SafePathComponent(std::string_view name);

// The path itself when nothing is there; otherwise "base(n).ext" for the first n from 1 that is free.
std::filesystem::path UniquePath(const std::filesystem::path& wanted);

// Text for an HTML page: & < > " and ' as entities.
std::string HtmlEscape(std::string_view text);

// A CSV field as RFC 4180 quotes it: in double quotes, inner quotes doubled, when it holds a comma, a
// quote or a line break; as it stands otherwise.
std::string CsvField(std::string_view text);

}  // namespace dunmere
