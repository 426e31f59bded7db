#pragma once
// Text from a backup on its way to a terminal: control characters (an escape sequence in a device
// name, say) are written as \xNN instead of being sent to the terminal.
#include <string>
#include <string_view>

namespace dunmere::cli {

std::string TerminalText(std::string_view text);

}  // namespace dunmere::cli
