// A stand-in decryptor for the runner's tests. It reads the password line, then prints the pieces of
// $FAKE_TOOL_OUTPUT (separated by "|"), pausing between them so that each arrives in its own read.
// With $FAKE_TOOL_SLEEP set it then stays alive for that many seconds.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main() {
  std::string password;
  std::getline(std::cin, password);
  const char* script = std::getenv("FAKE_TOOL_OUTPUT");
  std::string text = script != nullptr ? script : "";
  text += "|";
  for (std::size_t start = 0, bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1) {
    std::string piece = text.substr(start, bar - start);
    if (piece == "PASSWORD") piece = "password=" + password + "\n";
    std::fputs(piece.c_str(), stdout);
    std::fflush(stdout);
    ::usleep(60000);
  }
  if (const char* sleep = std::getenv("FAKE_TOOL_SLEEP")) ::sleep(static_cast<unsigned>(std::atoi(sleep)));
  return 0;
}
