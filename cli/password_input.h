#pragma once
#include <optional>
#include <string>

namespace dunmere::cli {

// The backup password: one line of standard input with fromStdin, else asked on the terminal without
// echo; nothing when neither is possible (no terminal).
std::optional<std::string> ReadPassword(bool fromStdin);

}  // namespace dunmere::cli
