#pragma once
// The program's version as the build recorded it.
#include <string>
#include <string_view>

namespace dunmere {

// "<program> <version> (commit <commit>)", e.g. "dunmere 0.1.0 (commit 21b1026ab3f1)"; the commit
// ends in "+" when the tree built had uncommitted changes, and is "unknown" outside a checkout.
std::string VersionText(std::string_view program);

}  // namespace dunmere
