#pragma once
// The text encoding a database declares in its header (offset 56): texts of a UTF-16 database are
// turned into UTF-8 as they are read, and names looked for in its records are turned into its encoding.
#include <cstdint>
#include <string>
#include <string_view>

namespace dunmere {

enum class TextEncoding : std::uint8_t { kUtf8 = 1, kUtf16Le = 2, kUtf16Be = 3 };

// The header's value; 0 and any value other than 2 or 3 read as UTF-8 (as SQLite treats a new file).
TextEncoding TextEncodingOf(std::uint32_t headerValue);

// Stored text bytes as UTF-8: unchanged for UTF-8; UTF-16 with surrogate pairs joined, an unpaired
// surrogate or a lone last byte as U+FFFD.
std::string TextToUtf8(std::string_view stored, TextEncoding encoding);

// UTF-8 text as the database stores it (for comparing names with stored bytes).
std::string Utf8ToStored(std::string_view utf8, TextEncoding encoding);

}  // namespace dunmere
