#include "cli/terminal_text.h"

#include "platform/visible_text.h"

namespace dunmere::cli {

std::string TerminalText(std::string_view text) { return VisibleText(text, false, true); }

}  // namespace dunmere::cli
