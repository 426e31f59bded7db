#include "backup/exit_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "backup/run_workspace.h"

namespace dunmere {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The write end of the pipe the handler tells the signal to; a handler can reach nothing else.
int signalPipe = -1;
// The signal being handled, and whether its cleanup is over: a run that would end by itself meanwhile
// (its decryptor stopped under it) waits for the cleanup and ends by the signal instead.
std::atomic<int> receivedSignal{0};
std::atomic<bool> cleanedUp{false};

[[noreturn]] void EndBy(int sig) {
  ::signal(sig, SIG_DFL);
  ::kill(::getpid(), sig);
  for (;;) ::pause();
}

void AtExit() {
  const int sig = receivedSignal.load();
  if (sig == 0) return;
  while (!cleanedUp.load()) ::usleep(1000);
  EndBy(sig);
}

void OnSignal(int sig) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(sig);
  if (signalPipe >= 0) {
    const ssize_t written = ::write(signalPipe, &number, 1);
    static_cast<void>(written);
  }
  errno = saved;
}

// Waits for a signal, cleans up, and ends the process with that signal.
void Watch(int readEnd) {
  unsigned char number = 0;
  for (;;) {
    const ssize_t n = ::read(readEnd, &number, 1);
    if (n == 1) break;
    if (n < 0 && errno == EINTR) continue;
    return;
  }
  const int sig = number;
  receivedSignal = sig;
  RemoveEveryWorkspace();
  cleanedUp = true;
  EndBy(sig);
}

}  // namespace

void RemoveWorkspacesAtExitSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    signalPipe = fds[1];
    std::thread(Watch, fds[0]).detach();
    std::atexit(&AtExit);
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : kSignals) {
      struct sigaction old {};
      // A signal the caller ignores (nohup) stays ignored.
      if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
      ::sigaction(sig, &action, nullptr);
    }
  });
}

}  // namespace dunmere
