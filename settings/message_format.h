#pragma once
// Filling a message text of a language file with its values. The format comes from a file anyone can
// edit, so it never reaches printf: each "%s" or "%d" takes the next value in turn, "%%" is a "%",
// and a placeholder with no value left (or any other "%") stays as it is.
#include <string>
#include <string_view>
#include <vector>

namespace dunmere {

std::string FormatMessage(std::string_view format, const std::vector<std::string>& values);

}  // namespace dunmere
