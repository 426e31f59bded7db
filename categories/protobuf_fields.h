#pragma once
// A few fields out of a protocol-buffer message, read by their numbers; nothing read past the bytes
// given.
#include <cstdint>
#include <string_view>

namespace dunmere {

// The first length-delimited field (wire type 2) numbered field of message. False when there is
// none, or when the message is damaged before it.
bool FindBytesField(std::string_view message, std::uint32_t field, std::string_view& out);

}  // namespace dunmere
