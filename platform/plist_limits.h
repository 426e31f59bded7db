#pragma once
// A property list is walked before the library parses it: the library's parsers recurse once per
// level of nesting, so a list nested thousands deep (a few bytes per level) would overflow the stack.
#include <cstddef>
#include <string_view>

namespace dunmere {

// No property list the program reads nests deeper than this.
inline constexpr std::size_t kMaxPlistDepth = 256;

// Whether data, a binary ("bplist00") or XML property list, nests no deeper than maxDepth and holds
// no string with a NUL in it (the library aborts on one). A binary list must also be sound to walk:
// its trailer, offset table and references inside the data, and no container that contains itself.
// Anything else (another format, text) passes: the parser judges it.
bool PlistWithinLimits(std::string_view data, std::size_t maxDepth = kMaxPlistDepth);

}  // namespace dunmere
