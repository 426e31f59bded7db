#pragma once
// UTF-8 helpers. Text that reaches the user is valid UTF-8: bytes that are not are shown as U+FFFD,
// the way a system text converter shows them.
#include <string>
#include <string_view>

namespace dunmere {

// Copies text, replacing each ill-formed UTF-8 sequence (overlong forms, surrogates, code points
// above U+10FFFF, truncated sequences, stray continuation bytes) by U+FFFD.
std::string SanitizeUtf8(std::string_view text);

// Whether text holds no ill-formed sequence (as above).
bool IsWellFormedUtf8(std::string_view text);

}  // namespace dunmere
