#pragma once
#include <string_view>

namespace dunmere {

// Byte-wise comparison with ASCII letters compared without regard to case: <0, 0 or >0.
int CompareNoCase(std::string_view a, std::string_view b);

// Sort order for date texts and names: ascending without regard to case.
inline bool LessNoCase(std::string_view a, std::string_view b) { return CompareNoCase(a, b) < 0; }

}  // namespace dunmere
