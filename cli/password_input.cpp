#include "cli/password_input.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace dunmere::cli {
namespace {

std::string StripLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::optional<std::string> ReadPassword(bool fromStdin) {
  std::string line;
  if (fromStdin) {
    if (!std::getline(std::cin, line)) return std::string();
    return StripLineEnd(line);
  }
  if (::isatty(STDIN_FILENO) == 0) return std::nullopt;
  termios saved{};
  const bool haveTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (haveTerminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::cerr << "Backup password: " << std::flush;
  std::getline(std::cin, line);
  if (haveTerminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::cerr << '\n';
  return StripLineEnd(line);
}

}  // namespace dunmere::cli
