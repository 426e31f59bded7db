// A stand-in decryptor for the runner's tests. It reads the password line, then prints the pieces of
// $FAKE_TOOL_OUTPUT (separated by "|"), pausing between them so that each arrives in its own read.
// $FAKE_TOOL_WRITE names a file it writes into its output folder first (its process id); with $FAKE_TOOL_SLEEP set it
// then stays alive for that many seconds; $FAKE_TOOL_SIGNAL ends it by that signal, and
// $FAKE_TOOL_EXIT gives its exit status.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  std::string password;
  std::getline(std::cin, password);
  if (const char* name = std::getenv("FAKE_TOOL_WRITE"); name != nullptr && argc > 2) {
    std::ofstream(std::string(argv[2]) + "/" + name) << ::getpid();
  }
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
  if (const char* sig = std::getenv("FAKE_TOOL_SIGNAL")) ::raise(std::atoi(sig));
  const char* exitStatus = std::getenv("FAKE_TOOL_EXIT");
  return exitStatus != nullptr ? std::atoi(exitStatus) : 0;
}
