#pragma once
// Bytes written as hexadecimal digits: plain (a digest, a blob) and percent-encoded (a path in a URL).
#include <string>
#include <string_view>

namespace dunmere {

// Two lowercase hexadecimal digits per byte.
std::string HexDigits(std::string_view bytes);

// A path for a URL: letters, digits, "/", "-", "_", "." and "~" as they are, every other byte as
// "%XX" (uppercase digits).
std::string PercentEncoded(std::string_view text);

}  // namespace dunmere
