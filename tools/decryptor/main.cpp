// tool BACKUP OUT [PASSWORD]: decrypts an encrypted backup into OUT. The password is read as one line
// from standard input unless given as the last argument (an argument shows in the process list).
// Prints "Count: N" as files are done and "Wrong password" for a password that does not open it.
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "tools/decryptor/backup_decryptor.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: tool BACKUP OUT [PASSWORD]\n";
    return 2;
  }
  // The plain copy is for this user alone, and does not outlive the program that started this one.
  ::umask(077);
  const pid_t parent = ::getppid();
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) return 1;
  std::string password;
  if (argc > 3) {
    // Every word after the two folders, as a password with blanks arrives in pieces.
    for (int i = 3; i < argc; ++i) password += (i > 3 ? " " : "") + std::string(argv[i]);
  } else {
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
  }
  dunmere::decryptor::DecryptEvents events;
  events.progress = [](std::uint64_t done) {
    std::printf("Count: %llu\n", static_cast<unsigned long long>(done));
    std::fflush(stdout);
  };
  events.warning = [](const std::string& message) {
    std::printf("%s\n", message.c_str());
    std::fflush(stdout);
  };
  const int result = dunmere::decryptor::DecryptBackup(argv[1], argv[2], password, events);
  if (result == dunmere::decryptor::kDecryptWrongPassword) {
    std::printf("Wrong password\n");
    std::fflush(stdout);
  }
  return result == 0 ? 0 : 1;
}
