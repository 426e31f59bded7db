#pragma once
// Text from a backup shown to a person or used as a name: what could drive a terminal or make a name
// read otherwise than it is spelt is written out or left out.
#include <string>
#include <string_view>

namespace dunmere {

// Whether the UTF-8 sequence at text[i] is a C1 control character (U+0080 to U+009F) or a
// bidirectional embedding, override or isolate control (U+202A to U+202E, U+2066 to U+2069); its
// length in bytes, 0 when it is neither.
std::size_t DeceptiveSequenceAt(std::string_view text, std::size_t i);

// The text with its control characters written out: C0 controls, DEL and C1 controls as \xNN (their
// code point; but tab and line ends where keepLineEnds), and, where escapeBidi, the bidirectional
// controls as \u202E. Everything else as it stands.
std::string VisibleText(std::string_view text, bool keepLineEnds, bool escapeBidi);

}  // namespace dunmere
