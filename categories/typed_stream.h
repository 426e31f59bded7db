#pragma once
// The text of a message's attributedBody: an archived NSAttributedString in the typed-stream format
// (it begins "\x04\x0bstreamtyped"), where the string's bytes follow the NSString class as a "+" typed
// value with a length in the format's integer encoding.
#include <optional>
#include <string>
#include <string_view>

namespace dunmere {

// The first string of the archive, when it is one and its bytes are valid UTF-8; nothing otherwise.
// Every read is bounded by the blob.
std::optional<std::string> AttributedBodyText(std::string_view blob);

}  // namespace dunmere
